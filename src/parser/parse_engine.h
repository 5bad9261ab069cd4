#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "output/output_stream.h"
#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/shortcuts.h"
#include "parser/step_table.h"
#include "scanner/token.h"

namespace xml2slist {

// What the engine pulls tokens from; each read ahead for the shortcuts may always read nothing.
template <typename T>
concept TokenSource = requires(T source, std::string_view& text, RunToken* run, TagAttribute* attributes,
                               LeafElement& leaf, std::size_t room, int& ending) {
  // The next token number, 0 at the end of the input.
  { source.next_token() } -> std::same_as<int>;
  // The value of the WORD or STRING just returned, valid until the next token is asked for.
  { source.value_text() } -> std::convertible_to<std::string_view>;
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

// What the engine calls at each reduction, shortcut and error; a shortcut's
// call stands for its rules in the order its steps would reduce them
// (parser/rule_by_rule.h takes them one by one).
template <typename T>
concept ParseActions = requires(T actions, int rule, std::string* slots, std::string_view text,
                                const TagAttribute* attributes, const RunToken* tokens, std::size_t count,
                                bool empty, const LeafElement& leaf) {
  // Rule `rule`'s action; slots[0] is $1, slots[k-1] is $k.
  actions.reduce(rule, slots);
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
  actions.report_xml_error(text);
};

// The trace level YYDEBUG asks for: its first digit, or 0 (no trace) when unset or not a digit.
inline int trace_level_of(const char* yydebug) {
  return yydebug && yydebug[0] >= '0' && yydebug[0] <= '9' ? yydebug[0] - '0' : 0;
}

// The LALR(1) engine; templated so that the token source and actions are called directly.
template <TokenSource Tokens, ParseActions Actions>
class ParseEngine {
 public:
  static constexpr int stack_capacity = 500;
  // Tokens of a text run read ahead at a time.
  static constexpr std::size_t run_token_batch = 32;
  // Attributes of a start tag read ahead whole, at most.
  static constexpr std::size_t tag_attribute_batch = 16;

  // Allocates the stacks (throws std::bad_alloc).
  ParseEngine(Tokens& tokens, Actions& actions, OutputStream& trace)
      : tokens_(tokens), actions_(actions), trace_(trace), stacks_(std::make_unique<Stacks>()) {}

  // 0 when the input is one accepted document, 1 after a syntax error or a
  // stack overflow. `yydebug` is the environment variable's value, if set.
  int parse_document(const char* yydebug);

 private:
  template <bool Traced>
  int run();
  template <bool Traced>
  int read_token(int state);
  int syntax_error(int top);
  void copy_token_value(int lookahead, std::string& slot);
  int overflow();

  Tokens& tokens_;
  Actions& actions_;
  OutputStream& trace_;
  int trace_level_ = 0;
  // Some 20 KB, kept on the heap: the engine may live on a small stack.
  struct Stacks {
    std::array<std::int16_t, stack_capacity> states{};
    // One more slot than states, for the $1 of an empty rule reduced on a full stack.
    std::array<std::string, stack_capacity + 1> values;
    shortcuts::ReadAhead<run_token_batch, tag_attribute_batch> read_ahead;
  };
  std::unique_ptr<Stacks> stacks_;
};

namespace engine_detail {
// A value buffer larger than this, left over from an earlier token, is released, not kept.
inline constexpr std::size_t large_value = std::size_t{1} << 20;
}  // namespace engine_detail

template <TokenSource Tokens, ParseActions Actions>
template <bool Traced>
int ParseEngine<Tokens, Actions>::read_token(int state) {
  int token = tokens_.next_token();
  if (token < 0) token = 0;
  if constexpr (Traced) {
    trace_ << "yydebug: state " << state << ", reading " << token << " (" << token_display_name(token) << ")\n";
  }
  return token;
}

template <TokenSource Tokens, ParseActions Actions>
int ParseEngine<Tokens, Actions>::syntax_error(int top) {
  actions_.report_xml_error("syntax error");
  for (int entry = top;; --entry) {
    if (trace_level_ != 0) trace_ << "yydebug: error recovery discarding state " << stacks_->states[static_cast<std::size_t>(entry)] << "\n";
    if (entry == 0) return 1;
  }
}

template <TokenSource Tokens, ParseActions Actions>
int ParseEngine<Tokens, Actions>::overflow() {
  actions_.report_xml_error("yacc stack overflow");
  return 1;
}

// Only WORD and STRING values are read, copied from the token source into the
// storage the slot already has. A slot gives up a huge storage for a value that
// does not need it, so huge values leave at most one copy behind.
template <TokenSource Tokens, ParseActions Actions>
void ParseEngine<Tokens, Actions>::copy_token_value(int lookahead, std::string& slot) {
  if (lookahead == WORD || lookahead == STRING) {
    const std::string_view value = tokens_.value_text();
    if (slot.capacity() > engine_detail::large_value && value.size() <= engine_detail::large_value) {
      std::string().swap(slot);
    }
    slot.assign(value);
  }
}

template <TokenSource Tokens, ParseActions Actions>
int ParseEngine<Tokens, Actions>::parse_document(const char* yydebug) {
  trace_level_ = trace_level_of(yydebug);
  return trace_level_ != 0 ? run<true>() : run<false>();
}

// The loop keeps the state, top and look-ahead in locals; the members only
// store the stacks. It is compiled with and without the trace lines, so an
// untraced run tests nothing for them.
template <TokenSource Tokens, ParseActions Actions>
template <bool Traced>
int ParseEngine<Tokens, Actions>::run() {
  constexpr bool trace = Traced;
  // One base for the stacks and the read-ahead room, as a frame's would be.
  Stacks& stacks = *stacks_;
  auto& states = stacks.states;
  auto& values = stacks.values;
  [[maybe_unused]] auto& read_ahead = stacks.read_ahead;
  int top = 0;
  int lookahead = -1;
  int state = 0;
  states[0] = 0;
  for (;;) {
    int rule = default_reduction[static_cast<std::size_t>(state)];
    if (rule == 0) {
      if (lookahead < 0) lookahead = read_token<Traced>(state);
      if constexpr (!Traced) {
        if (const std::uint8_t kinds = shortcuts::at(state, lookahead)) {
          shortcuts::Step step{state, top, lookahead};
          if (shortcuts::take(kinds, step, states.data(), values.data(), stack_capacity, tokens_, actions_, read_ahead)) {
            state = step.state;
            top = step.top;
            lookahead = step.lookahead;
            continue;
          }
        }
      }
      const int kind = token_kind(lookahead);
      const int action =
          kind < 0 ? 0 : step_table.action[static_cast<std::size_t>(state)][static_cast<std::size_t>(kind)];
      if (action > 0) {  // shift
        if constexpr (trace) trace_ << "yydebug: state " << state << ", shifting to state " << action << "\n";
        if (top + 1 >= stack_capacity) return overflow();
        states[static_cast<std::size_t>(++top)] = static_cast<std::int16_t>(action);
        copy_token_value(lookahead, values[static_cast<std::size_t>(top)]);
        state = action;
        lookahead = -1;
        continue;
      }
      if (action == 0) return syntax_error(top);
      rule = -action;
    }

    if constexpr (trace) {
      trace_ << "yydebug: state " << state << ", reducing by rule " << rule << " ("
             << rule_strings[static_cast<std::size_t>(rule)] << ")\n";
    }
    const int length = rule_length[static_cast<std::size_t>(rule)];
    actions_.reduce(rule, &values[static_cast<std::size_t>(top - length + 1)]);
    top -= length;
    const int uncovered = states[static_cast<std::size_t>(top)];
    const int lhs = rule_lhs[static_cast<std::size_t>(rule)];

    if (uncovered == 0 && lhs == nonterminal::vk_file) {  // acceptance
      if constexpr (trace) trace_ << "yydebug: after reduction, shifting from state 0 to state " << final_state << "\n";
      states[static_cast<std::size_t>(++top)] = final_state;
      state = final_state;
      if (lookahead < 0) lookahead = read_token<Traced>(state);
      if (lookahead == end_of_input) return 0;
      continue;
    }

    const int target = step_table.go[static_cast<std::size_t>(lhs)][static_cast<std::size_t>(uncovered)];
    if constexpr (trace) trace_ << "yydebug: after reduction, shifting from state " << uncovered << " to state " << target << "\n";
    if (top + 1 >= stack_capacity) return overflow();
    states[static_cast<std::size_t>(++top)] = static_cast<std::int16_t>(target);
    state = target;
  }
}


}  // namespace xml2slist
