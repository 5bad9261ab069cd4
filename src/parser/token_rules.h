#pragma once

#include <array>
#include <cstdint>

#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"

namespace xml2slist {

// The rules whose right side is a single WORD or STRING token:
// `def2 : WORD`, `def2 : STRING`, `word : WORD`, `word : STRING` and
// `string : STRING` (a test checks them against the grammar). A state that
// reduces one of them by default is entered only by shifting that token, and
// the reduction pops the token again at once: the value goes onto the stack
// only for the action to read it. An untraced parse may instead hand the
// action the value where the token source holds it.
namespace token_rules {

inline constexpr std::array<int, 5> value_rules = {rules::declaration_word, rules::declaration_string,
                                                   rules::word_of_word, rules::word_of_string,
                                                   rules::string_of_string};

constexpr bool is_token_rule(int rule) {
  for (const int candidate : value_rules) {
    if (candidate == rule) return true;
  }
  return false;
}

// For each state, the token rule it reduces at once, or 0.
constexpr std::array<std::int8_t, state_count> make_reduced_at_once() {
  std::array<std::int8_t, state_count> table{};
  for (int state = 0; state < state_count; ++state) {
    const int rule = default_reduction[static_cast<std::size_t>(state)];
    if (is_token_rule(rule)) table[static_cast<std::size_t>(state)] = static_cast<std::int8_t>(rule);
  }
  return table;
}
inline constexpr std::array<std::int8_t, state_count> reduced_at_once = make_reduced_at_once();

// Every such state is entered by shifting a WORD or a STRING, and by nothing else.
constexpr bool entered_only_by_value_tokens() {
  for (int state = 0; state < state_count; ++state) {
    for (int kind = 0; kind < token_kind_count; ++kind) {
      const int target = step_table.action[static_cast<std::size_t>(state)][static_cast<std::size_t>(kind)];
      if (target <= 0 || reduced_at_once[static_cast<std::size_t>(target)] == 0) continue;
      if (kind != token_kind(WORD) && kind != token_kind(STRING)) return false;
    }
    for (int symbol = 0; symbol < nonterminal_count; ++symbol) {
      const int target = step_table.go[static_cast<std::size_t>(symbol)][static_cast<std::size_t>(state)];
      if (target > 0 && reduced_at_once[static_cast<std::size_t>(target)] != 0) return false;
    }
  }
  return true;
}
static_assert(entered_only_by_value_tokens(), "a state that reduces a token rule is entered otherwise");

}  // namespace token_rules
}  // namespace xml2slist
