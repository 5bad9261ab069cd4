#include "parser/parse_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/output_stream.h"
#include "scanner/token.h"

namespace xml2slist {
namespace {

// Replays a fixed token stream; WORD and STRING carry "w" and "'s'".
class ReplayTokens final : public TokenSource {
 public:
  explicit ReplayTokens(std::vector<int> tokens) : tokens_(std::move(tokens)) {}
  int next_token() override {
    const int token = next_ < tokens_.size() ? tokens_[next_++] : 0;
    if (token == WORD) value_ = "w";
    if (token == STRING) value_ = "'s'";
    ++reads;
    return token;
  }
  std::string& token_value() override { return value_; }
  int reads = 0;

 private:
  std::vector<int> tokens_;
  std::size_t next_ = 0;
  std::string value_;
};

// Records the rules reduced and the errors reported.
class RecordingActions final : public ParseActions {
 public:
  void reduce(int rule, std::string*) override { rules.push_back(rule); }
  void report_xml_error(std::string_view message) override { errors.emplace_back(message); }
  std::vector<int> rules;
  std::vector<std::string> errors;
};

struct ParseRun {
  int result;
  std::vector<int> rules;
  std::vector<std::string> errors;
  std::string trace;
  int reads;
};

ParseRun parse(std::vector<int> tokens, const char* yydebug = nullptr) {
  ReplayTokens source(std::move(tokens));
  RecordingActions actions;
  StringSink sink;
  OutputStream trace(sink);
  ParseEngine engine(source, actions, trace);
  const int result = engine.parse_document(yydebug);
  trace.flush();
  return {result, actions.rules, actions.errors, sink.text, source.reads};
}

const int lt = open_angle, eq = equals_sign, gt = close_angle;

TEST(ParseEngine, ReductionSequences) {
  struct Case {
    std::vector<int> tokens;
    std::vector<int> rules;
  };
  const std::vector<Case> cases = {
      {{lt, WORD, gt, WORD, ETAGS, WORD, gt}, {28, 25, 19, 30, 16, 2}},
      {{lt, WORD, WORD, eq, STRING, gt, WORD, lt, WORD, ETAGE, WORD, ETAGS, WORD, gt},
       {36, 35, 33, 29, 25, 19, 23, 31, 17, 24, 21, 25, 22, 30, 16, 2}},
      {{lt, WORD, gt, WORD, eq, STRING, ETAGS, WORD, gt}, {28, 25, 19, 21, 26, 22, 21, 27, 22, 30, 16, 2}},
      {{lt, WORD, gt, lt, WORD, gt, WORD, ETAGS, WORD, gt, lt, WORD, ETAGE, ETAGS, WORD, gt},
       {28, 28, 25, 19, 30, 16, 20, 23, 31, 17, 24, 30, 16, 2}},
      {{lt, WORD, WORD, eq, gt, ETAGS, WORD, gt}, {38, 37, 35, 33, 29, 38, 18, 30, 16, 2}},
      {{PROTO2S, WORD, WORD, STRING, gt, lt, WORD, gt, ETAGS, WORD, gt},
       {6, 13, 11, 13, 12, 14, 12, 7, 3, 28, 38, 18, 30, 16, 1}},
      {{PROTO1S, WORD, WORD, eq, STRING, PROTO1E, PROTO1S, WORD, WORD, eq, STRING, WORD, eq, STRING, PROTO1E, lt,
        WORD, ETAGE},
       {10, 8, 5, 3, 10, 8, 10, 9, 5, 4, 31, 17, 1}},
  };
  for (const Case& c : cases) {
    const ParseRun run = parse(c.tokens);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ(c.rules, run.rules);
    EXPECT_TRUE(run.errors.empty());
  }
}

TEST(ParseEngine, SyntaxErrorsEndTheParse) {
  struct Case {
    std::vector<int> tokens;
    int reads;  // tokens read, the offending one included
  };
  const std::vector<Case> cases = {
      {{}, 1},                                  // empty input
      {{lt, WORD, eq, gt}, 3},                  // `<a =`: an attribute needs a name
      {{PROTO1S, WORD, PROTO1E, lt, WORD, ETAGE}, 3},  // no definition
      {{PROTO2S, gt}, 2},                       // no item
      {{lt, WORD, ETAGE, WORD}, 4},             // a word after the root
      {{lt, WORD, ETAGE, lt, WORD, ETAGE}, 4},  // a second root
  };
  for (const Case& c : cases) {
    const ParseRun run = parse(c.tokens);
    EXPECT_EQ(1, run.result);
    EXPECT_EQ(std::vector<std::string>{"syntax error"}, run.errors);
    EXPECT_EQ(c.reads, run.reads);
  }
}

TEST(ParseEngine, TraceOfAnEmptyRoot) {
  const ParseRun run = parse({lt, WORD, ETAGE}, "1");
  EXPECT_EQ(0, run.result);
  EXPECT_EQ(
      "yydebug: state 0, reading 60 ('<')\n"
      "yydebug: state 0, shifting to state 3\n"
      "yydebug: state 3, reading 262 (WORD)\n"
      "yydebug: state 3, shifting to state 12\n"
      "yydebug: state 12, reading 261 (ETAGE)\n"
      "yydebug: state 12, shifting to state 30\n"
      "yydebug: state 30, reducing by rule 31 (tag : '<' WORD ETAGE)\n"
      "yydebug: after reduction, shifting from state 0 to state 9\n"
      "yydebug: state 9, reducing by rule 17 (element : tag)\n"
      "yydebug: after reduction, shifting from state 0 to state 6\n"
      "yydebug: state 6, reducing by rule 2 (vk_file : element)\n"
      "yydebug: after reduction, shifting from state 0 to state 4\n"
      "yydebug: state 4, reading 0 (end-of-file)\n",
      run.trace);
}

TEST(ParseEngine, TraceOfErrorRecovery) {
  const ParseRun run = parse({lt, WORD, gt, ETAGS}, "7");
  EXPECT_EQ(1, run.result);
  EXPECT_EQ((std::vector<int>{28, 38, 18}), run.rules);
  const std::string tail =
      "yydebug: state 35, reading 0 (end-of-file)\n"
      "yydebug: error recovery discarding state 35\n"
      "yydebug: error recovery discarding state 19\n"
      "yydebug: error recovery discarding state 8\n"
      "yydebug: error recovery discarding state 0\n";
  ASSERT_GE(run.trace.size(), tail.size());
  EXPECT_EQ(tail, run.trace.substr(run.trace.size() - tail.size()));
}

TEST(ParseEngine, TraceSwitch) {
  const std::vector<int> tokens = {lt, WORD, ETAGE};
  const std::vector<std::pair<const char*, bool>> cases = {
      {nullptr, false}, {"", false}, {"0", false}, {"x", false}, {"1", true}, {"9x", true}};
  for (const auto& [value, traced] : cases) {
    EXPECT_EQ(traced, !parse(tokens, value).trace.empty()) << (value ? value : "(unset)");
  }
}

// Nested declarations take two stack entries a level.
std::vector<int> nested_declarations(int depth) {
  std::vector<int> tokens(static_cast<std::size_t>(depth), PROTO2S);
  tokens.push_back(WORD);
  tokens.insert(tokens.end(), static_cast<std::size_t>(depth), gt);
  tokens.insert(tokens.end(), {lt, WORD, ETAGE});
  return tokens;
}

TEST(ParseEngine, StackOverflowAt249NestedDeclarations) {
  const ParseRun fits = parse(nested_declarations(248));
  EXPECT_EQ(0, fits.result);
  EXPECT_TRUE(fits.errors.empty());

  const ParseRun overflows = parse(nested_declarations(249), "1");
  EXPECT_EQ(1, overflows.result);
  EXPECT_EQ(std::vector<std::string>{"yacc stack overflow"}, overflows.errors);
  // The innermost '>' is the token whose shift finds the stack full.
  const std::string last_lines =
      "yydebug: state 28, reading 62 ('>')\n"
      "yydebug: state 28, shifting to state 42\n";
  EXPECT_EQ(last_lines, overflows.trace.substr(overflows.trace.size() - last_lines.size()));
}

}  // namespace
}  // namespace xml2slist
