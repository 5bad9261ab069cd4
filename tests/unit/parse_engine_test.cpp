#include "parser/parse_engine.h"
#include "parser/rule_by_rule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "output/output_stream.h"
#include "scanner/token.h"

namespace xml2slist {
namespace {

// Replays a fixed token stream; WORD and STRING carry "w" and "'s'". A
// replay with `run_tokens` also hands out the WORDs, '=' and STRINGs that
// follow a text item ahead of time, as many as its own random limit allows
// each time (WORDs in a row at times as one span), a whole leaf element
// after a '<' most of the time, an '=' and a STRING that follow a WORD most
// of the time, the WORD, with or without the '>', that follows a '<' or an
// ETAGS, and most of the time a tag's attributes and its end after it.
class ReplayTokens {
 public:
  explicit ReplayTokens(std::vector<int> tokens, bool run_tokens = false, unsigned seed = 0)
      : tokens_(std::move(tokens)), run_tokens_(run_tokens), random_(seed) {}
  int next_token() {
    const int token = next_ < tokens_.size() ? tokens_[next_++] : 0;
    // Every value differs, so that a value in the wrong slot shows.
    if (token == WORD) value_ = "w" + std::to_string(next_);
    if (token == STRING) value_ = "'s" + std::to_string(next_) + "'";
    ++reads;
    return token;
  }
  std::string_view value_text() const { return value_; }
  std::size_t next_run_tokens(RunToken* tokens, std::size_t room) {
    if (!run_tokens_) return 0;
    const std::size_t limit = std::min<std::size_t>(room, random_() % 5);
    std::size_t count = 0;
    batch_values_.clear();
    batch_values_.reserve(2 * limit);  // the values below must not move
    while (count < limit && next_ < tokens_.size()) {
      const int token = tokens_[next_];
      if (token != WORD && token != STRING && token != equals_sign) break;
      ++next_;
      ++reads;
      batch_values_.push_back(token == WORD     ? "w" + std::to_string(next_)
                              : token == STRING ? "'s" + std::to_string(next_) + "'"
                                                : std::string());
      tokens[count++] = RunToken(token, batch_values_.back());
    }
    read_ahead += static_cast<int>(count);
    return join_words(tokens, count);
  }
  bool next_attribute_value(std::string_view& value) {
    if (!run_tokens_ || random_() % 4 == 0) return false;
    if (next_ + 1 >= tokens_.size() || tokens_[next_] != equals_sign || tokens_[next_ + 1] != STRING) return false;
    next_ += 2;
    reads += 2;
    // The WORD's value must stay where it is.
    attribute_value_ = "'s" + std::to_string(next_) + "'";
    value = attribute_value_;
    read_ahead += 2;
    return true;
  }
  TagRead next_tag_name(std::string_view& name) {
    if (!run_tokens_ || random_() % 4 == 0) return TagRead::nothing;
    if (next_ >= tokens_.size() || tokens_[next_] != WORD) return TagRead::nothing;
    // The name is read as next_token() would read it; a '>' after it, most
    // of the time, too.
    next_token();
    ++read_ahead;
    name = value_;
    if (next_ >= tokens_.size() || tokens_[next_] != close_angle || random_() % 3 == 0) return TagRead::name;
    ++next_;
    ++reads;
    ++read_ahead;
    return TagRead::name_and_close;
  }
  TagRead next_start_tag(LeafElement& leaf, RunToken* tokens, std::size_t room) {
    if (!run_tokens_ || random_() % 4 == 0) return next_tag_name(leaf.name);
    // <name>, a run of text items, </name>: read whole most of the time.
    const auto text_item = [](int token) { return token == WORD || token == STRING || token == equals_sign; };
    std::size_t end = next_ + 2;
    while (end < tokens_.size() && end - next_ - 2 < room && text_item(tokens_[end])) ++end;
    const bool leaf_follows = next_ + 1 < tokens_.size() && tokens_[next_] == WORD && tokens_[next_ + 1] == close_angle &&
                              end > next_ + 2 && end + 2 < tokens_.size() && tokens_[end] == ETAGS &&
                              tokens_[end + 1] == WORD && tokens_[end + 2] == close_angle;
    if (!leaf_follows) return next_tag_name(leaf.name);
    leaf_name_ = "w" + std::to_string(next_ + 1);
    batch_values_.clear();
    batch_values_.reserve(2 * (end - next_));  // the values below must not move
    std::size_t count = 0;
    for (std::size_t at = next_ + 2; at < end; ++at) {
      const int token = tokens_[at];
      batch_values_.push_back(token == WORD     ? "w" + std::to_string(at + 1)
                              : token == STRING ? "'s" + std::to_string(at + 1) + "'"
                                                : std::string());
      tokens[count++] = RunToken(token, batch_values_.back());
    }
    leaf_end_name_ = "w" + std::to_string(end + 2);
    const int read = static_cast<int>(end + 3 - next_);
    next_ = end + 3;
    reads += read;
    read_ahead += read;
    leaf = LeafElement{leaf_name_, tokens, join_words(tokens, count), leaf_end_name_};
    return TagRead::leaf_element;
  }
  std::size_t next_tag_attributes(TagAttribute* attributes, std::size_t room, int& ending) {
    if (!run_tokens_ || random_() % 4 == 0) return 0;
    // WORD '=' STRING, as often as there is room, then the '>' or an ETAGE.
    std::size_t end = next_;
    std::size_t count = 0;
    while (count < room && end + 2 < tokens_.size() && tokens_[end] == WORD && tokens_[end + 1] == equals_sign &&
           tokens_[end + 2] == STRING) {
      end += 3;
      ++count;
    }
    if (count == 0 || end >= tokens_.size()) return 0;
    if (tokens_[end] != close_angle && tokens_[end] != ETAGE) return 0;
    ending = tokens_[end];
    attribute_texts_.clear();
    attribute_texts_.reserve(2 * count);  // the values below must not move
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = next_ + 3 * i;
      attribute_texts_.push_back("w" + std::to_string(at + 1));
      attribute_texts_.push_back("'s" + std::to_string(at + 3) + "'");
      attributes[i] = TagAttribute{attribute_texts_[2 * i], attribute_texts_[2 * i + 1], 0};
    }
    const int tokens = static_cast<int>(end + 1 - next_);
    next_ = end + 1;
    reads += tokens;
    read_ahead += tokens;
    return count;
  }
  int reads = 0;
  int read_ahead = 0;  // of the reads, those taken ahead of next_token()

 private:
  // Now and then hands WORDs in a row over as one span, joined by blanks
  // and newlines, as a scanner may; returns the tokens left.
  std::size_t join_words(RunToken* tokens, std::size_t count) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count;) {
      std::size_t end = i;
      while (end < count && tokens[end].token == WORD) ++end;
      if (end - i < 2 || random_() % 2 == 0) {
        tokens[kept++] = tokens[i++];
        continue;
      }
      std::string span(tokens[i].value());
      for (std::size_t k = i + 1; k < end; ++k) span.append(1, " \n\t\r"[random_() % 4]).append(tokens[k].value());
      batch_values_.push_back(span);
      tokens[kept++] = RunToken(WORD_SPAN, batch_values_.back());
      i = end;
    }
    return kept;
  }

  std::vector<int> tokens_;
  std::size_t next_ = 0;
  std::string value_;
  bool run_tokens_;
  std::mt19937 random_;
  std::vector<std::string> batch_values_;
  std::string attribute_value_;
  std::vector<std::string> attribute_texts_;
  std::string leaf_name_;
  std::string leaf_end_name_;
};

// Records the rules reduced and the errors reported, and the text of each
// reduction's first slot.
class RecordingActions : public RuleByRule<RecordingActions> {
 public:
  // The values of the WORD and STRING tokens a rule covers, the only values
  // ever read; other slots hold whatever was last there.
  void reduce(int rule, std::string* slots) {
    rules.push_back(rule);
    const std::string_view text = rule_strings[static_cast<std::size_t>(rule)];
    std::string covered;
    std::size_t slot = 0;
    for (std::size_t start = text.find(" : ") + 3; start < text.size(); ++slot) {
      const std::size_t end = std::min(text.find(' ', start), text.size());
      const std::string_view symbol = text.substr(start, end - start);
      if (symbol == "WORD" || symbol == "STRING") covered += slots[slot] + "|";
      start = end + 1;
    }
    covered_values.push_back(covered);
  }
  std::vector<std::string> covered_values;
  void report_xml_error(std::string_view message) { errors.emplace_back(message); }
  std::vector<int> rules;
  std::vector<std::string> errors;
};

struct ParseRun {
  int result;
  std::vector<int> rules;
  std::vector<std::string> covered_values;
  std::vector<std::string> errors;
  std::string trace;
  int reads;
  int read_ahead;
};

ParseRun parse(std::vector<int> tokens, const char* yydebug = nullptr, bool run_tokens = false, unsigned seed = 0) {
  ReplayTokens source(std::move(tokens), run_tokens, seed);
  RecordingActions actions;
  StringSink sink;
  OutputStream trace(sink);
  ParseEngine<ReplayTokens, RecordingActions> engine(source, actions, trace);
  const int result = engine.parse_document(yydebug);
  trace.flush();
  return {result, actions.rules, actions.covered_values, actions.errors, sink.text, source.reads, source.read_ahead};
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

// Token streams shaped like documents: nested elements whose bodies mix
// words, '=', strings and children, now and then with a stray token, and deep
// enough at times to fill the stack.
// Up to three attributes: name="value", now and then a name with '=' and no
// value.
void add_attributes(std::vector<int>& tokens, std::mt19937& random) {
  for (int count = static_cast<int>(random() % 4); count > 0; --count) {
    tokens.insert(tokens.end(), {WORD, eq});
    if (random() % 5 != 0) tokens.push_back(STRING);
  }
}

std::vector<int> random_document(std::mt19937& random) {
  std::vector<int> tokens;
  const bool deep = random() % 2 == 0;
  const int max_depth = std::uniform_int_distribution<int>(deep ? 160 : 1, deep ? 260 : 60)(random);
  int depth = 0;
  tokens.insert(tokens.end(), {lt, WORD, gt});
  ++depth;
  // A deep document first opens its levels, each with a few words, so that
  // the stack fills up at every kind of token.
  while (deep && depth < max_depth) {
    tokens.insert(tokens.end(), static_cast<std::size_t>(random() % 3), WORD);
    tokens.insert(tokens.end(), {lt, WORD});
    add_attributes(tokens, random);
    tokens.push_back(gt);
    ++depth;
  }
  while (depth > 0 && tokens.size() < 3000) {
    switch (std::uniform_int_distribution<int>(0, 10)(random)) {
      case 0: case 1: case 2: tokens.push_back(WORD); break;
      case 3: tokens.push_back(eq); break;
      case 4: tokens.push_back(STRING); break;
      case 5: case 6:
        if (depth < max_depth) {
          tokens.insert(tokens.end(), {lt, WORD});
          add_attributes(tokens, random);
          tokens.push_back(gt);
          ++depth;
        }
        break;
      case 7:
        tokens.insert(tokens.end(), {lt, WORD});
        add_attributes(tokens, random);
        tokens.push_back(ETAGE);
        break;
      case 8: tokens.insert(tokens.end(), {ETAGS, WORD, gt}); --depth; break;
      case 9:  // a leaf element
        tokens.insert(tokens.end(), {lt, WORD, gt});
        for (int items = 1 + static_cast<int>(random() % 5); items > 0; --items) {
          const int pick = static_cast<int>(random() % 6);
          tokens.push_back(pick == 0 ? eq : pick == 1 ? STRING : WORD);
        }
        tokens.insert(tokens.end(), {ETAGS, WORD, gt});
        break;
      default:
        if (std::uniform_int_distribution<int>(0, 20)(random) == 0) tokens.push_back(PROTO1E);  // stray
        break;
    }
  }
  return tokens;
}

// An untraced parse may take several steps at once; it must still reduce the
// same rules on the same slots, read as many tokens and end the same way as a
// traced one, which takes every step.
TEST(ParseEngine, UntracedRunsReduceAsTracedOnes) {
  std::mt19937 random(20261208);
  int overflows = 0;
  int read_ahead = 0;
  for (int i = 0; i < 400; ++i) {
    const std::vector<int> tokens = random_document(random);
    // Untraced, now and then with run tokens read ahead in batches.
    const ParseRun untraced = parse(tokens, nullptr, i % 2 == 1, static_cast<unsigned>(i));
    const ParseRun traced = parse(tokens, "1");
    ASSERT_EQ(traced.result, untraced.result) << "document " << i;
    ASSERT_EQ(traced.rules, untraced.rules) << "document " << i;
    ASSERT_EQ(traced.covered_values, untraced.covered_values) << "document " << i;
    ASSERT_EQ(traced.errors, untraced.errors) << "document " << i;
    ASSERT_EQ(traced.reads, untraced.reads) << "document " << i;
    if (!untraced.errors.empty() && untraced.errors[0] == "yacc stack overflow") ++overflows;
    read_ahead += untraced.read_ahead;
  }
  EXPECT_GT(overflows, 10);  // the stack's end was reached often enough to matter
  EXPECT_GT(read_ahead, 10000);  // and the steps taken together were taken
}

}  // namespace
}  // namespace xml2slist
