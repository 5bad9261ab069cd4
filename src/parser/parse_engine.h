#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/output_stream.h"

namespace xml2slist {

// What the engine pulls tokens from.
class TokenSource {
 public:
  virtual ~TokenSource() = default;
  // The next token number, 0 at the end of the input.
  virtual int next_token() = 0;
  // The value of the token just returned (meaningful for WORD and STRING).
  virtual std::string& token_value() = 0;
};

// What the engine does at each reduction and at an error.
class ParseActions {
 public:
  virtual ~ParseActions() = default;
  // Runs rule `rule`'s action; slots[0] is $1, slots[k-1] is $k.
  virtual void reduce(int rule, std::string* slots) = 0;
  virtual void report_xml_error(std::string_view message) = 0;
};

// The table-driven LALR(1) engine over the document grammar.
class ParseEngine {
 public:
  static constexpr int stack_capacity = 500;

  ParseEngine(TokenSource& tokens, ParseActions& actions, OutputStream& trace)
      : tokens_(tokens), actions_(actions), trace_(trace) {}

  // 0 when the input is one accepted document, 1 after a syntax error or a
  // stack overflow. `yydebug` is the environment variable's value, if set.
  int parse_document(const char* yydebug);

 private:
  int read_token(int state);
  int syntax_error(int top);
  int overflow();

  TokenSource& tokens_;
  ParseActions& actions_;
  OutputStream& trace_;
  int trace_level_ = 0;
  std::array<std::int16_t, stack_capacity> state_stack_{};
  // One more slot than states, for the $1 of an empty rule reduced on a full stack.
  std::array<std::string, stack_capacity + 1> value_stack_;
};

}  // namespace xml2slist
