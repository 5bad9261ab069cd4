#pragma once

#include <array>
#include <cstdint>

#include "parser/content_run.h"
#include "parser/grammar.h"
#include "parser/name_tag_run.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"
#include "parser/token_rules.h"
#include "scanner/token.h"

namespace xml2slist {

// Most elements of data documents are leaves: a start tag of a name alone,
// a short text run, and an end tag, as in <name>Eve Silva</name>. In a state
// where such a start tag may begin, its tokens take the engine through the
// same steps each time: the start tag's step, the text's first item shifted
// and reduced to `word` and then to `body : word`, each further item's step
// in the body state, the end tag's step, and `element : stag body etag`
// reduced by default, which leaves one entry for `element` on the state the
// element began in. An untraced parse may take them as one when the token
// source reads the whole element ahead. Everything below is derived from the
// tables, and the build fails if they stop having that shape.
namespace leaf_element_run {

inline constexpr int element_rule = rules::element_with_body;
// The most the steps push above the leaf's state: the end tag's three on the
// start tag's and the body's (a further item's step takes two there).
inline constexpr int deepest_step = 5;

// The state after a whole leaf element begun in `state`; 0 where none can begin.
constexpr int leaf_goto(int state) {
  const int after_stag = name_tag_run::after_start_tag[static_cast<std::size_t>(state)];
  if (after_stag <= 0 || step_default(after_stag) != 0) return 0;
  // The text's first item, of any kind, becomes a `word`: a WORD or STRING
  // is reduced at once, an '=' by default.
  for (const int token : {int{WORD}, int{STRING}, int{equals_sign}}) {
    const int shifted = step_action(after_stag, token);
    if (shifted <= 0) return 0;
    const int rule = token == equals_sign ? step_default(shifted)
                                          : token_rules::reduced_at_once[static_cast<std::size_t>(shifted)];
    if (rule != content_run::word_rule(token)) return 0;
  }
  if (step_default(step_goto(nonterminal::word, after_stag)) != content_run::first_item_rule) return 0;
  if (step_goto(nonterminal::body, after_stag) != content_run::body_state) return 0;
  const int after_etag = name_tag_run::after_end_tag[static_cast<std::size_t>(content_run::body_state)];
  if (after_etag <= 0 || step_default(after_etag) != element_rule) return 0;
  return step_goto(nonterminal::element, state);
}

inline constexpr StateTable after_leaf = make_state_table(leaf_goto);
static_assert(beginning_states(after_leaf) > 0, "leaf elements no longer take the same steps");

}  // namespace leaf_element_run
}  // namespace xml2slist
