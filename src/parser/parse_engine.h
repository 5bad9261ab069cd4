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

// What the engine pulls tokens from; the shortcuts read ahead through it as
// well (see shortcuts::TokensAhead).
template <typename T>
concept TokenSource = shortcuts::TokensAhead<T> && requires(T source) {
  // The next token number, 0 at the end of the input.
  { source.next_token() } -> std::same_as<int>;
  // The value of the WORD or STRING just returned, valid until the next token is asked for.
  { source.value_text() } -> std::convertible_to<std::string_view>;
};

// What the engine calls at each reduction and at an error; the shortcuts
// call more (see shortcuts::ShortcutActions).
template <typename T>
concept ParseActions = shortcuts::ShortcutActions<T> && requires(T actions, int rule, std::string* slots,
                                                                 std::string_view message) {
  // Rule `rule`'s action; slots[0] is $1, slots[k-1] is $k.
  actions.reduce(rule, slots);
  actions.report_xml_error(message);
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
    shortcuts::ReadAhead read_ahead;
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
