#pragma once

#include <array>
#include <cstdint>

#include "parser/attribute_run.h"
#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"
#include "scanner/token.h"

namespace xml2slist {

// Tags with attributes, <name a="1" b='2'>, take the engine through the same
// steps each time: the '<' and the name's WORD are shifted, the first
// attribute's step is taken and `attrlists : attrlist` reduced by default,
// each further attribute's step is taken and `attrlists : attrlists attrlist`
// reduced by default, and the '>' is shifted into a state that reduces
// `stag : '<' WORD attrlists '>'` by default, which leaves one entry for
// `stag` on the state the tag began in (an empty element's ETAGE leads to
// `tag : '<' WORD attrlists ETAGE` and `tag` in the same way). An untraced
// parse may take them as one when the token source reads the whole tag ahead.
// Everything below is derived from the tables, and the build fails if they
// stop having that shape (a test checks the rule numbers against the grammar).
namespace attributed_tag_run {

inline constexpr int first_attribute_rule = rules::first_attribute;
inline constexpr int more_attributes_rule = rules::more_attributes;
inline constexpr int start_tag_rule = rules::start_tag_with_attributes;
inline constexpr int empty_tag_rule = rules::empty_tag_with_attributes;
// The most entries the steps push above the state the tag begins in: the
// '<', the name, the attributes' list and one attribute's three entries.
inline constexpr int deepest_step = 6;

// The state after a whole tag with attributes begun in `state` and ended by
// `ending` ('>' or ETAGE), reducing `rule` to `symbol`; 0 where none can begin.
constexpr int tag_goto(int state, int ending, int rule, int symbol) {
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
  const int after_end = step_action(list, ending);
  if (after_end <= 0 || step_default(after_end) != rule) return 0;
  return step_goto(symbol, state);
}

// After a start tag, <name a="1">, and after an empty element's tag, <name a="1"/>.
inline constexpr StateTable after_tag =
    make_state_table([](int state) { return tag_goto(state, close_angle, start_tag_rule, nonterminal::stag); });
inline constexpr StateTable after_empty_tag =
    make_state_table([](int state) { return tag_goto(state, ETAGE, empty_tag_rule, nonterminal::tag); });
static_assert(beginning_states(after_tag) > 0 && beginning_states(after_empty_tag) > 0,
              "tags with attributes no longer take the same steps");

// Where one kind of tag may begin, so may the other: the token source need
// not be told which ends it may read.
constexpr bool both_or_neither() {
  for (int state = 0; state < state_count; ++state) {
    if ((after_tag[static_cast<std::size_t>(state)] != 0) != (after_empty_tag[static_cast<std::size_t>(state)] != 0)) {
      return false;
    }
  }
  return true;
}
static_assert(both_or_neither(), "start tags and empty elements' tags with attributes begin in different states");

}  // namespace attributed_tag_run
}  // namespace xml2slist
