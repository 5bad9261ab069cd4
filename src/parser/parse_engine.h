#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "output/output_stream.h"
#include "parser/attribute_run.h"
#include "parser/attributed_tag_run.h"
#include "parser/content_run.h"
#include "parser/grammar.h"
#include "parser/leaf_element_run.h"
#include "parser/name_tag_run.h"
#include "parser/parse_tables.h"
#include "parser/shortcuts.h"
#include "parser/step_table.h"
#include "parser/token_rules.h"
#include "scanner/token.h"

namespace xml2slist {

// What the engine pulls tokens from.
class TokenSource {
 public:
  virtual ~TokenSource() = default;
  // The next token number, 0 at the end of the input.
  virtual int next_token() = 0;
  // The value of the token just returned (meaningful for WORD and STRING).
  virtual std::string& token_value() = 0;
  // The same value for reading only, valid until the next token is asked
  // for; a source that holds it elsewhere may spare the copy.
  virtual std::string_view value_text() { return token_value(); }
  // Within a text run, reads up to `room` further tokens ahead that the run
  // takes as they are (WORDs, '=', STRINGs and WORD_SPANs of several WORDs),
  // puts them and their values
  // (valid until the next token is asked for) in `tokens` and returns how
  // many it read; next_token() goes on after them. A source may always
  // read none.
  virtual std::size_t next_run_tokens(RunToken* tokens, std::size_t room) {
    (void)tokens;
    (void)room;
    return 0;
  }
  // After a WORD: when the next two tokens are an '=' and a STRING, reads
  // both, puts the STRING's value in `value` and returns true; otherwise
  // reads nothing and returns false. The STRING's value, and the WORD's
  // value read before, stay valid until the next token is asked for. A
  // source may always return false.
  virtual bool next_attribute_value(std::string_view& value) {
    (void)value;
    return false;
  }
  // After a '<' or an ETAGS: when the next token is a WORD, may read it,
  // put its value in `name` (valid until the next token is asked for) and
  // read a '>' that follows it as well; says what it read. A source may
  // always read nothing.
  virtual TagRead next_tag_name(std::string_view& name) {
    (void)name;
    return TagRead::nothing;
  }
  // After a '<': as next_tag_name() into `leaf.name`, or reads a whole leaf
  // element <name>text</name>, its text a run of up to `room` tokens at
  // `tokens` as next_run_tokens() gives them (the end tag's name may be
  // any), into `leaf` and says so. A source may always read no more than
  // next_tag_name() does.
  virtual TagRead next_start_tag(LeafElement& leaf, RunToken* tokens, std::size_t room) {
    (void)tokens;
    (void)room;
    return next_tag_name(leaf.name);
  }
  // After the name of a start tag read by the calls above: when the rest of
  // the tag is attributes name="value" and the '>' or an ETAGE, may read it
  // all, put the end's token in `ending` and up to `room` attributes in
  // `attributes` (valid until the next token is asked for) and return how
  // many; otherwise reads nothing and returns 0.
  virtual std::size_t next_tag_attributes(TagAttribute* attributes, std::size_t room, int& ending) {
    (void)attributes;
    (void)room;
    (void)ending;
    return 0;
  }
};

// What the engine does at each reduction and at an error.
class ParseActions {
 public:
  virtual ~ParseActions() = default;
  // Runs rule `rule`'s action; slots[0] is $1, slots[k-1] is $k.
  virtual void reduce(int rule, std::string* slots) = 0;
  // Runs the action of a rule of one token whose value is `value`, the
  // value read in place rather than from the stack.
  virtual void reduce_word(int rule, std::string_view value) {
    // Only one-token rules come here; the spare slots keep the code of the
    // other rules, which a compiler may inline here, within bounds.
    std::array<std::string, 3> slots{std::string(value), std::string(), std::string()};
    reduce(rule, slots.data());
  }
  // Runs the three rules of a further word of a text run: `$$2 :`, the
  // word's own rule with its value in place, and `body : body $$2 word`;
  // `body` is the body's stack slot.
  virtual void reduce_further_word(int word_rule, std::string_view value, std::string* body) {
    reduce(content_run::separator_rule, body + 1);
    reduce_word(word_rule, value);
    reduce(content_run::extend_rule, body);
  }
  // Runs the actions of an attribute: `string : STRING` (rule
  // `string_rule`) with `value`, then `attrlist : WORD '=' string` (rule
  // `rule`) with `name`, both read in place rather than from the stack.
  virtual void reduce_attribute(int string_rule, int rule, std::string_view name, std::string_view value) {
    reduce_word(string_rule, value);
    std::array<std::string, attribute_run::attribute_length> slots{std::string(name), std::string(), std::string()};
    reduce(rule, slots.data());
  }
  // Runs the action of `stag : '<' WORD '>'` or `etag : ETAGS WORD '>'`
  // (rule `rule`) with the name's value read in place rather than from the
  // stack.
  virtual void reduce_name_tag(int rule, std::string_view name) {
    std::array<std::string, name_tag_run::tag_length> slots{std::string(), std::string(name), std::string()};
    reduce(rule, slots.data());
  }
  // Runs the actions of a whole tag with attributes read ahead, a start tag
  // or (`empty`) an empty element's tag, the rules in the order its steps
  // would reduce them.
  virtual void reduce_attributed_tag(std::string_view name, const TagAttribute* attributes, std::size_t count,
                                     bool empty) {
    std::array<std::string, 4> slots{std::string(), std::string(name), std::string(), std::string()};
    for (std::size_t i = 0; i < count; ++i) {
      reduce_attribute(attribute_run::string_rule, attribute_run::attribute_rule, attributes[i].name,
                       attributes[i].value);
      reduce(i == 0 ? attributed_tag_run::first_attribute_rule : attributed_tag_run::more_attributes_rule,
             slots.data());
    }
    reduce(empty ? attributed_tag_run::empty_tag_rule : attributed_tag_run::start_tag_rule, slots.data());
  }
  // Runs the actions of a whole leaf element read ahead, the rules in the
  // order its steps would reduce them: the start tag, the first word's own
  // rule, `body : word`, the further words, the end tag and the element.
  virtual void reduce_leaf_element(const LeafElement& leaf) {
    std::array<std::string, name_tag_run::tag_length> slots;
    reduce_name_tag(name_tag_run::start_tag_rule, leaf.name);
    bool first = true;
    const auto item = [&](int rule, std::string_view value) {
      if (first) {
        reduce_word(rule, value);
        reduce(content_run::first_item_rule, slots.data());
        first = false;
      } else {
        reduce_further_word(rule, value, slots.data());
      }
    };
    for (std::size_t i = 0; i < leaf.count; ++i) {
      const RunToken& token = leaf.tokens[i];
      if (token.token == WORD_SPAN) {
        for_each_span_word(token.value(), [&](std::string_view word) { item(content_run::word_rule_word, word); });
      } else {
        item(content_run::word_rule(token.token), token.value());
      }
    }
    reduce_name_tag(name_tag_run::end_tag_rule, leaf.end_name);
    reduce(leaf_element_run::element_rule, slots.data());
  }
  // The same for `count` further tokens of a run in a row; a WORD_SPAN
  // stands for each of its words.
  virtual void reduce_further_tokens(const RunToken* tokens, std::size_t count, std::string* body) {
    for (std::size_t i = 0; i < count; ++i) {
      if (tokens[i].token == WORD_SPAN) {
        for_each_span_word(tokens[i].value(), [&](std::string_view word) {
          reduce_further_word(content_run::word_rule_word, word, body);
        });
      } else {
        reduce_further_word(content_run::word_rule(tokens[i].token), tokens[i].value(), body);
      }
    }
  }
  virtual void report_xml_error(std::string_view message) = 0;
};

// The trace level the YYDEBUG variable asks for: its first digit, or 0 (no
// trace) when it is unset or starts with anything else.
inline int trace_level_of(const char* yydebug) {
  return yydebug && yydebug[0] >= '0' && yydebug[0] <= '9' ? yydebug[0] - '0' : 0;
}

// The table-driven LALR(1) engine over the document grammar. The token
// source and the actions are template parameters so that the program's own
// (final) classes are called directly; ParseEngine is the engine over the
// abstract interfaces, for tests and tools.
template <typename Tokens, typename Actions>
class BasicParseEngine {
 public:
  static constexpr int stack_capacity = 500;
  // Tokens of a text run read ahead at a time.
  static constexpr std::size_t run_token_batch = 32;
  // Attributes of a start tag read ahead whole, at most.
  static constexpr std::size_t tag_attribute_batch = 16;

  // Allocates the stacks (throws std::bad_alloc).
  BasicParseEngine(Tokens& tokens, Actions& actions, OutputStream& trace)
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
// A value buffer larger than this, left over from an earlier token, is
// released rather than kept for the next one.
inline constexpr std::size_t large_value = std::size_t{1} << 20;
}  // namespace engine_detail

template <typename Tokens, typename Actions>
template <bool Traced>
int BasicParseEngine<Tokens, Actions>::read_token(int state) {
  int token = tokens_.next_token();
  if (token < 0) token = 0;
  if constexpr (Traced) {
    trace_ << "yydebug: state " << state << ", reading " << token << " (" << token_display_name(token) << ")\n";
  }
  return token;
}

template <typename Tokens, typename Actions>
int BasicParseEngine<Tokens, Actions>::syntax_error(int top) {
  actions_.report_xml_error("syntax error");
  for (int entry = top;; --entry) {
    if (trace_level_ != 0) trace_ << "yydebug: error recovery discarding state " << stacks_->states[static_cast<std::size_t>(entry)] << "\n";
    if (entry == 0) return 1;
  }
}

template <typename Tokens, typename Actions>
int BasicParseEngine<Tokens, Actions>::overflow() {
  actions_.report_xml_error("yacc stack overflow");
  return 1;
}

// Only WORD and STRING values are ever read; the value is copied onto the
// stack straight from where the token source holds it, into the storage the
// slot already has. A slot gives up a huge storage for a value that does
// not need it, so huge values leave at most one copy behind.
template <typename Tokens, typename Actions>
void BasicParseEngine<Tokens, Actions>::copy_token_value(int lookahead, std::string& slot) {
  if (lookahead == WORD || lookahead == STRING) {
    const std::string_view value = tokens_.value_text();
    if (slot.capacity() > engine_detail::large_value && value.size() <= engine_detail::large_value) {
      std::string().swap(slot);
    }
    slot.assign(value);
  }
}

template <typename Tokens, typename Actions>
int BasicParseEngine<Tokens, Actions>::parse_document(const char* yydebug) {
  trace_level_ = trace_level_of(yydebug);
  return trace_level_ != 0 ? run<true>() : run<false>();
}

// The loop keeps the current state, the top and the look-ahead in locals;
// the members are only the storage of the two stacks. It is compiled once
// with the trace lines and once without, so an untraced run tests nothing
// for them.
template <typename Tokens, typename Actions>
template <bool Traced>
int BasicParseEngine<Tokens, Actions>::run() {
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

using ParseEngine = BasicParseEngine<TokenSource, ParseActions>;
extern template class BasicParseEngine<TokenSource, ParseActions>;

}  // namespace xml2slist
