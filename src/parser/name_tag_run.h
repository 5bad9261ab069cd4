#pragma once

#include <array>
#include <cstdint>

#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"
#include "scanner/token.h"

namespace xml2slist {

// Most tags hold a name alone: start tags <name> and every end tag </name>.
// In a state where one may come, its three tokens take the engine through
// the same steps each time: the '<' or ETAGS, the name's WORD and the '>'
// are shifted, and the state reached reduces `stag : '<' WORD '>'` or
// `etag : ETAGS WORD '>'` by default, which pops all three and goes to
// `stag` or `etag` from the state the tag began in. An untraced parse may
// take them as one when the token source can read the name and the '>'
// ahead. Everything below is derived from the tables, and the build fails
// if they ever stop having that shape (a test checks the rule numbers
// against the grammar).
namespace name_tag_run {

inline constexpr int start_tag_rule = rules::start_tag;
inline constexpr int end_tag_rule = rules::end_tag;
inline constexpr int tag_length = 3;

// Whether a tag opened by `opening` in `state` takes the steps above to reduce `rule`.
constexpr bool begins_tag(int state, int opening, int rule) {
  if (step_default(state) != 0) return false;
  const int after_opening = step_action(state, opening);
  if (after_opening <= 0 || step_default(after_opening) != 0) return false;
  const int after_name = step_action(after_opening, WORD);
  if (after_name <= 0 || step_default(after_name) != 0) return false;
  const int after_close = step_action(after_name, close_angle);
  return after_close > 0 && step_default(after_close) == rule;
}

// Per state, the state after a whole tag opened by `opening` there; 0 where none begins.
constexpr StateTable make_after_tag(int opening, int rule, int symbol) {
  return make_state_table([=](int state) { return begins_tag(state, opening, rule) ? step_goto(symbol, state) : 0; });
}
inline constexpr StateTable after_start_tag = make_after_tag(open_angle, start_tag_rule, nonterminal::stag);
inline constexpr StateTable after_end_tag = make_after_tag(ETAGS, end_tag_rule, nonterminal::etag);

static_assert(beginning_states(after_start_tag) > 0 && beginning_states(after_end_tag) > 0,
              "tags of a name alone no longer take the same steps");

}  // namespace name_tag_run
}  // namespace xml2slist
