#pragma once

#include <array>
#include <cstdint>

#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"
#include "parser/token_rules.h"
#include "scanner/token.h"

namespace xml2slist {

// Most start tags carry attributes written name="value". In a state where an
// attribute may begin, its three tokens take the engine through the same
// steps each time: the name's WORD and the '=' are shifted, the STRING is
// shifted into a state that reduces `string : STRING` at once, and the
// state that follows reduces `attrlist : WORD '=' string` by default, which
// pops all three and goes to `attrlist` from the state the attribute began
// in. An untraced parse may take them as one when the token source can read
// the '=' and the STRING ahead. Everything below is derived from the
// tables, and the build fails if they ever stop having that shape (a test
// checks the rule numbers against the grammar).
namespace attribute_run {

inline constexpr int attribute_rule = rules::attribute;
inline constexpr int string_rule = rules::string_of_string;
inline constexpr int attribute_length = 3;

// Whether an attribute beginning in `state` takes the steps above.
constexpr bool begins_attribute(int state) {
  if (step_default(state) != 0) return false;
  const int after_name = step_action(state, WORD);
  if (after_name <= 0 || step_default(after_name) != 0) return false;
  const int after_equals = step_action(after_name, equals_sign);
  if (after_equals <= 0 || step_default(after_equals) != 0) return false;
  const int after_string = step_action(after_equals, STRING);
  if (after_string <= 0 || token_rules::reduced_at_once[static_cast<std::size_t>(after_string)] != string_rule) {
    return false;
  }
  return step_default(step_goto(nonterminal::string_value, after_equals)) == attribute_rule;
}

// Per state, the state after a whole attribute that began there; 0 where none begins.
inline constexpr StateTable after_attribute =
    make_state_table([](int state) { return begins_attribute(state) ? step_goto(nonterminal::attrlist, state) : 0; });

// Attributes begin after an element's name and after each attribute.
static_assert(beginning_states(after_attribute) == 2, "attributes no longer take the same steps");

}  // namespace attribute_run
}  // namespace xml2slist
