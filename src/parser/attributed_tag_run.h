#pragma once

#include <array>
#include <cstdint>

#include "parser/attribute_run.h"
#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"
#include "scanner/token.h"

namespace xml2slist {

// Start tags with attributes, <name a="1" b='2'>, take the engine through
// the same steps each time: the '<' and the name's WORD are shifted, the
// first attribute's step is taken and `attrlists : attrlist` reduced by
// default, each further attribute's step is taken and `attrlists : attrlists
// attrlist` reduced by default, and the '>' is shifted into a state that
// reduces `stag : '<' WORD attrlists '>'` by default, which leaves one entry
// for `stag` on the state the tag began in. An untraced parse may take them
// as one when the token source reads the whole tag ahead. Everything below
// is derived from the tables, and the build fails if they stop having that
// shape (a test checks the rule numbers against the grammar).
namespace attributed_tag_run {

inline constexpr int first_attribute_rule = 33;  // attrlists : attrlist
inline constexpr int more_attributes_rule = 34;  // attrlists : attrlists attrlist
inline constexpr int start_tag_rule = 29;        // stag : '<' WORD attrlists '>'
// The most entries the steps push above the state the tag begins in: the
// '<', the name, the attributes' list and one attribute's three entries.
inline constexpr int deepest_step = 6;

// The state after a whole start tag with attributes that began in `state`,
// or 0 where none can begin.
constexpr int tag_goto(int state) {
  if (step_default(state) != 0) return 0;
  const int after_open = step_action(state, open_angle);
  if (after_open <= 0 || step_default(after_open) != 0) return 0;
  const int after_name = step_action(after_open, WORD);
  if (after_name <= 0 || step_default(after_name) != 0) return 0;
  const int first = attribute_run::after_attribute[static_cast<std::size_t>(after_name)];
  if (first <= 0 || step_default(first) != first_attribute_rule) return 0;
  const int list = step_goto(nonterminal::attrlists, after_name);
  const int more = attribute_run::after_attribute[static_cast<std::size_t>(list)];
  if (list <= 0 || more <= 0 || step_default(more) != more_attributes_rule) return 0;
  const int after_close = step_action(list, close_angle);
  if (after_close <= 0 || step_default(after_close) != start_tag_rule) return 0;
  return step_goto(nonterminal::stag, state);
}

constexpr std::array<std::int16_t, state_count> make_after_tag() {
  std::array<std::int16_t, state_count> table{};
  for (int state = 0; state < state_count; ++state) {
    table[static_cast<std::size_t>(state)] = static_cast<std::int16_t>(tag_goto(state));
  }
  return table;
}
inline constexpr std::array<std::int16_t, state_count> after_tag = make_after_tag();

constexpr bool some_state_begins() {
  for (const std::int16_t after : after_tag) {
    if (after > 0) return true;
  }
  return false;
}
static_assert(some_state_begins(), "start tags with attributes no longer take the same steps");

}  // namespace attributed_tag_run
}  // namespace xml2slist
