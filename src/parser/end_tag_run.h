#pragma once

#include <array>
#include <cstdint>

#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"
#include "parser/token_rules.h"
#include "scanner/token.h"

namespace xml2slist {

// Every element with content ends with an end tag, </name>. In a state where
// one may come, its three tokens take the engine through the same steps
// each time: the ETAGS, the name's WORD and the '>' are shifted, and the
// state reached reduces `etag : ETAGS WORD '>'` by default, which pops all
// three and goes to `etag` from the state the end tag began in. An
// untraced parse may take them as one when the token source can read the
// name and the '>' ahead. Everything below is derived from the tables, and
// the build fails if they ever stop having that shape (a test checks the
// rule number against the grammar).
namespace end_tag_run {

inline constexpr int end_tag_rule = 30;  // etag : ETAGS WORD '>'
inline constexpr int end_tag_length = 3;

// Whether an end tag beginning in `state` takes the steps above.
constexpr bool begins_end_tag(int state) {
  if (step_default(state) != 0) return false;
  const int after_start = step_action(state, ETAGS);
  if (after_start <= 0 || step_default(after_start) != 0) return false;
  const int after_name = step_action(after_start, WORD);
  if (after_name <= 0 || step_default(after_name) != 0) return false;
  const int after_close = step_action(after_name, close_angle);
  return after_close > 0 && step_default(after_close) == end_tag_rule;
}

// For each state, the state after a whole end tag that began there, or 0
// where none begins.
constexpr std::array<std::int16_t, state_count> make_after_end_tag() {
  std::array<std::int16_t, state_count> table{};
  for (int state = 0; state < state_count; ++state) {
    if (begins_end_tag(state)) {
      table[static_cast<std::size_t>(state)] = static_cast<std::int16_t>(step_goto(nonterminal::etag, state));
    }
  }
  return table;
}
inline constexpr std::array<std::int16_t, state_count> after_end_tag = make_after_end_tag();

constexpr bool some_state_begins_end_tags() {
  for (const std::int16_t after : after_end_tag) {
    if (after > 0) return true;
  }
  return false;
}
static_assert(some_state_begins_end_tags(), "end tags no longer take the same steps");

}  // namespace end_tag_run
}  // namespace xml2slist
