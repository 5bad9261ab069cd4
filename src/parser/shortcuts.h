#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "parser/attribute_run.h"
#include "parser/attributed_tag_run.h"
#include "parser/content_run.h"
#include "parser/grammar.h"
#include "parser/leaf_element_run.h"
#include "parser/name_tag_run.h"
#include "parser/step_table.h"
#include "parser/token_rules.h"
#include "scanner/token.h"

namespace xml2slist {

// The shortcuts of an untraced parse: where a run of tokens always takes the
// engine through the same steps, the steps are taken as one, with the same
// reductions in the same order and the same stacks afterwards. Each is
// derived from the parse tables at compile time (see the *_run.h headers);
// this unit is the one place that says where each may begin and takes it.
namespace shortcuts {

// What may begin in a state with a token as look-ahead.
enum Kind : std::uint8_t {
  further_words = 1,  // the rest of a text run, a word at a time or read ahead in batches
  attribute = 2,      // name="value"
  start_tag = 4,      // <name>, a whole leaf element, or <name a="1" ...> or .../>
  end_tag = 8,        // </name>
  value_at_once = 16, // a WORD or STRING shifted into a state that reduces its rule at once
};

constexpr std::uint8_t kinds_at(int state, int kind) {
  const int token = kind_tokens[static_cast<std::size_t>(kind)];
  const auto at = static_cast<std::size_t>(state);
  std::uint8_t kinds = 0;
  if (state == content_run::body_state && content_run::word_rule(token) != 0) kinds |= further_words;
  if (token == WORD && attribute_run::after_attribute[at] != 0) kinds |= attribute;
  if (token == open_angle && name_tag_run::after_start_tag[at] != 0) kinds |= start_tag;
  if (token == ETAGS && name_tag_run::after_end_tag[at] != 0) kinds |= end_tag;
  const int shifted = step_table.action[at][static_cast<std::size_t>(kind)];
  if (shifted > 0 && token_rules::reduced_at_once[static_cast<std::size_t>(shifted)] != 0) kinds |= value_at_once;
  return kinds;
}

// State x token kind -> the shortcuts that may begin there.
using Table = std::array<std::array<std::uint8_t, token_kind_count>, state_count>;
constexpr Table make_table() {
  Table table{};
  for (int state = 0; state < state_count; ++state) {
    if (step_default(state) != 0) continue;  // the engine reads no token there
    for (int kind = 0; kind < token_kind_count; ++kind) {
      table[static_cast<std::size_t>(state)][static_cast<std::size_t>(kind)] = kinds_at(state, kind);
    }
  }
  return table;
}
inline constexpr Table table = make_table();

// Each shortcut begins somewhere: a grammar change that stops one from
// applying fails the build rather than slowing the program down unseen.
constexpr bool every_kind_begins_somewhere() {
  std::uint8_t seen = 0;
  for (const auto& row : table) {
    for (const std::uint8_t kinds : row) seen |= kinds;
  }
  return seen == (further_words | attribute | start_tag | end_tag | value_at_once);
}
static_assert(every_kind_begins_somewhere());

// The shortcuts that may begin in `state` with `token` as look-ahead; 0 for a token no state knows.
inline std::uint8_t at(int state, int token) {
  const int kind = token_kind(token);
  return kind < 0 ? 0 : table[static_cast<std::size_t>(state)][static_cast<std::size_t>(kind)];
}

// Where the engine stands between steps; a shortcut moves it on.
struct Step {
  int state;
  int top;
  int lookahead;
};

// What a token source reads ahead for the shortcuts, only within what it
// holds and as its next_token() would read it; each may always read nothing.
template <typename T>
concept TokensAhead = requires(T source, std::string_view& text, RunToken* run, TagAttribute* attributes,
                               LeafElement& leaf, std::size_t room, int& ending) {
  // Within a text run: up to `room` further WORDs, '=', STRINGs and WORD_SPANs.
  { source.next_run_tokens(run, room) } -> std::same_as<std::size_t>;
  // After a WORD: an '=' and a STRING, the STRING's value in `text`.
  { source.next_attribute_value(text) } -> std::same_as<bool>;
  // After a '<' or an ETAGS: the name, perhaps with the '>' after it.
  { source.next_tag_name(text) } -> std::same_as<TagRead>;
  // After a '<': as next_tag_name(), or a whole leaf element.
  { source.next_start_tag(leaf, run, room) } -> std::same_as<TagRead>;
  // After a start tag's name: its attributes and its '>' or ETAGE.
  { source.next_tag_attributes(attributes, room, ending) } -> std::same_as<std::size_t>;
};

// For a token source that reads nothing ahead: an untraced parse then takes
// every step one by one, as a traced one does.
struct NoReadAhead {
  std::size_t next_run_tokens(RunToken*, std::size_t) { return 0; }
  bool next_attribute_value(std::string_view&) { return false; }
  TagRead next_tag_name(std::string_view&) { return TagRead::nothing; }
  TagRead next_start_tag(LeafElement&, RunToken*, std::size_t) { return TagRead::nothing; }
  std::size_t next_tag_attributes(TagAttribute*, std::size_t, int&) { return 0; }
};

// What the actions do for a shortcut: each call stands for the rules its
// steps would reduce, in their order (RuleByRule, in parser/rule_by_rule.h,
// takes them one by one).
template <typename T>
concept ShortcutActions = requires(T actions, int rule, std::string* slots, std::string_view text,
                                   const TagAttribute* attributes, const RunToken* tokens, std::size_t count,
                                   bool empty, const LeafElement& leaf) {
  // A rule of one WORD or STRING token with the value `text` read in place.
  actions.reduce_word(rule, text);
  // `$$2 :`, the word's rule `rule` and `body : body $$2 word`; `slots` is the body's slot.
  actions.reduce_further_word(rule, text, slots);
  // The same for `count` further tokens of a run; a WORD_SPAN stands for each of its words.
  actions.reduce_further_tokens(tokens, count, slots);
  // `string : STRING` with the value, then `attrlist : WORD '=' string` with the name.
  actions.reduce_attribute(text, text);
  // `stag : '<' WORD '>'` or `etag : ETAGS WORD '>'` (rule `rule`) with the name.
  actions.reduce_name_tag(rule, text);
  // A whole tag with attributes, a start tag or (`empty`) an empty element's tag.
  actions.reduce_attributed_tag(text, attributes, count, empty);
  // A whole leaf element: start tag, text run and end tag.
  actions.reduce_leaf_element(leaf);
};

// Room for what the token source reads ahead: a text run's tokens a batch
// at a time, and the attributes of a start tag read whole, at most.
struct ReadAhead {
  std::array<RunToken, 32> run_tokens;
  std::array<TagAttribute, 16> tag_attributes;
};

// Takes a shortcut among `kinds` at `step` when the token source reads what it
// needs ahead and the stacks have room for its steps' entries; else false, and
// the ordinary steps run (reporting an overflow where they would).
template <TokensAhead Tokens, ShortcutActions Actions>
[[gnu::always_inline]] inline bool take(std::uint8_t kinds, Step& step, std::int16_t* states, std::string* values,
                                        int stack_capacity, Tokens& tokens, Actions& actions, ReadAhead& room) {
  const auto push = [&](int state, int lookahead) {
    step.state = state;
    states[static_cast<std::size_t>(++step.top)] = static_cast<std::int16_t>(state);
    step.lookahead = lookahead;
    return true;
  };
  const int state = step.state;
  const int top = step.top;
  const int lookahead = step.lookahead;
  if ((kinds & further_words) != 0 && top + 2 < stack_capacity) {
    // The word's entry is popped again at once, so its rule reads the value
    // where the token source holds it; the tokens of the run that follow
    // are read ahead and taken a batch at a time.
    std::string* const body = &values[static_cast<std::size_t>(top)];
    actions.reduce_further_word(content_run::word_rule(lookahead),
                                lookahead == equals_sign ? std::string_view() : tokens.value_text(), body);
    while (const std::size_t count = tokens.next_run_tokens(room.run_tokens.data(), room.run_tokens.size())) {
      actions.reduce_further_tokens(room.run_tokens.data(), count, body);
    }
    step.lookahead = -1;
    return true;
  }
  if ((kinds & attribute) != 0 && top + attribute_run::attribute_length < stack_capacity) {
    // The name is read where the source holds it, before the value is read.
    const std::string_view name = tokens.value_text();
    std::string_view value;
    if (tokens.next_attribute_value(value)) {
      actions.reduce_attribute(name, value);
      return push(attribute_run::after_attribute[static_cast<std::size_t>(state)], -1);
    }
  }
  if ((kinds & (start_tag | end_tag)) != 0 && top + name_tag_run::tag_length < stack_capacity) {
    // A tag of a name alone; after a '<', perhaps a whole leaf element, or a
    // name followed by attributes. When only the name is read, the opening
    // token is shifted and the name is the next look-ahead.
    const bool start = (kinds & start_tag) != 0;
    const auto at = static_cast<std::size_t>(state);
    std::string_view name;
    TagRead read;
    const int after_leaf = start ? leaf_element_run::after_leaf[at] : 0;
    if (after_leaf != 0 && top + leaf_element_run::deepest_step < stack_capacity) {
      LeafElement leaf;
      read = tokens.next_start_tag(leaf, room.run_tokens.data(), room.run_tokens.size());
      if (read == TagRead::leaf_element) {
        actions.reduce_leaf_element(leaf);
        return push(after_leaf, -1);
      }
      name = leaf.name;
    } else {
      read = tokens.next_tag_name(name);
    }
    if (read == TagRead::name_and_close) {
      actions.reduce_name_tag(start ? name_tag_run::start_tag_rule : name_tag_run::end_tag_rule, name);
      return push((start ? name_tag_run::after_start_tag : name_tag_run::after_end_tag)[at], -1);
    }
    if (read == TagRead::name) {
      const int after_attributes = start ? attributed_tag_run::after_tag[at] : 0;
      if (after_attributes != 0 && top + attributed_tag_run::deepest_step < stack_capacity) {
        int ending = 0;
        if (const std::size_t count =
                tokens.next_tag_attributes(room.tag_attributes.data(), room.tag_attributes.size(), ending)) {
          const bool empty = ending == ETAGE;
          actions.reduce_attributed_tag(name, room.tag_attributes.data(), count, empty);
          return push(empty ? attributed_tag_run::after_empty_tag[at] : after_attributes, -1);
        }
      }
      return push(step_action(state, lookahead), WORD);
    }
  }
  if ((kinds & value_at_once) != 0 && top + 1 < stack_capacity) {
    // The action reads the value in place, and the stacks take only the goto.
    const int rule = token_rules::reduced_at_once[static_cast<std::size_t>(step_action(state, lookahead))];
    actions.reduce_word(rule, tokens.value_text());
    return push(step_goto(rule_lhs[static_cast<std::size_t>(rule)], state), -1);
  }
  return false;
}

}  // namespace shortcuts
}  // namespace xml2slist
