#pragma once

#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"
#include "scanner/token.h"

namespace xml2slist {

// Most tokens of a document are the further words of a text run. Each one
// takes the engine through the same four steps: in the state of a body that
// already has an item, the word token reduces `$$2 :`, is shifted, reduces
// its own rule (`word : WORD`, `word : '='` or `word : STRING`), and then
// `body : body $$2 word` leaves the stacks as they were before the token.
// An untraced parse may run those steps as one. Everything below is derived
// from the tables, and the checks at the end fail the build if the tables
// ever stop having that shape (a test compares such runs with traced ones).
namespace content_run {

inline constexpr int first_item_rule = rules::body_first_word;
inline constexpr int separator_rule = rules::separator;
inline constexpr int extend_rule = rules::body_more_word;
inline constexpr int word_rule_word = rules::word_of_word;
inline constexpr int word_rule_equals = rules::word_of_equals;
inline constexpr int word_rule_string = rules::word_of_string;

// The state of a body with at least one item: the one where a WORD look-ahead reduces `$$2 :`.
constexpr int find_body_state() {
  for (int state = 0; state < state_count; ++state) {
    if (default_reduction[static_cast<std::size_t>(state)] == 0 && step_action(state, WORD) == -separator_rule) return state;
  }
  return -1;
}
inline constexpr int body_state = find_body_state();

// The rule a word token reduces once shifted; 0 for other tokens.
constexpr int word_rule(int token) {
  switch (token) {
    case WORD: return word_rule_word;
    case equals_sign: return word_rule_equals;
    case STRING: return word_rule_string;
    default: return 0;
  }
}

constexpr bool tables_have_the_shape() {
  if (body_state < 0) return false;
  const int after_separator = step_goto(nonterminal::mid_rule_2, body_state);
  for (const int token : {int{WORD}, int{equals_sign}, int{STRING}}) {
    const int rule = word_rule(token);
    if (step_action(body_state, token) != -separator_rule) return false;
    const int shifted = step_action(after_separator, token);
    if (shifted <= 0 || default_reduction[static_cast<std::size_t>(shifted)] != rule) return false;
    const int after_word = step_goto(nonterminal::word, after_separator);
    if (default_reduction[static_cast<std::size_t>(after_word)] != extend_rule) return false;
  }
  // The body state is entered only by a goto on `body`, so the goto on `body`
  // from whatever state lies below it leads back to it.
  for (int state = 0; state < state_count; ++state) {
    for (int kind = 0; kind < token_kind_count; ++kind) {
      if (step_table.action[static_cast<std::size_t>(state)][static_cast<std::size_t>(kind)] == body_state) return false;
    }
    for (int symbol = 0; symbol < nonterminal_count; ++symbol) {
      if (symbol != nonterminal::body && step_goto(symbol, state) == body_state) return false;
    }
  }
  return true;
}
static_assert(tables_have_the_shape(), "a further word of a text run no longer takes the same four steps");

}  // namespace content_run
}  // namespace xml2slist
