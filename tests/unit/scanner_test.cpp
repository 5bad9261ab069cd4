#include "scanner/scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "scanner/byte_source.h"

namespace xml2slist {
namespace {

std::string describe(int token, const std::string& value) {
  switch (token) {
    case end_of_input: return "0";
    case open_angle: return "<";
    case equals_sign: return "=";
    case close_angle: return ">";
    case PROTO1S: return "PROTO1S";
    case PROTO1E: return "PROTO1E";
    case PROTO2S: return "PROTO2S";
    case ETAGS: return "ETAGS";
    case ETAGE: return "ETAGE";
    case WORD: return std::string("WORD(").append(value).append(")");
    case STRING: return std::string("STRING(").append(value).append(")");
    default: return std::string("token ").append(std::to_string(token));
  }
}

// Scans `input` served `slice` bytes a read; one entry per token.
std::vector<std::string> scan_all(std::string_view input, std::size_t slice = 8192) {
  MemorySource source(input, slice);
  TextModeReader reader(source);
  Scanner scanner(reader);
  std::vector<std::string> tokens;
  for (;;) {
    const int token = scanner.next_token();
    tokens.push_back(describe(token, scanner.token_value()));
    if (token == WORD || token == STRING) {
      EXPECT_EQ(scanner.value_text(), scanner.token_value());
    }
    if (token == end_of_input || tokens.size() > 10000) return tokens;
  }
}

using Tokens = std::vector<std::string>;

struct TokenCase {
  std::string input;
  Tokens tokens;
};

const std::vector<TokenCase>& token_cases() {
  static const std::vector<TokenCase> cases = {
      {"<?xml version=\"1.0\"?>",
       {"PROTO1S", "WORD(xml)", "WORD(version)", "=", "STRING(\"1.0\")", "PROTO1E", "0"}},
      {"<a b='x'>t u</a>",
       {"<", "WORD(a)", "WORD(b)", "=", "STRING('x')", ">", "WORD(t)", "WORD(u)", "ETAGS", "WORD(a)", ">", "0"}},
      {"<x/>", {"<", "WORD(x/)", ">", "0"}},
      {"<x />", {"<", "WORD(x)", "ETAGE", "0"}},
      {"<a b='u'/>", {"<", "WORD(a)", "WORD(b)", "=", "STRING('u')", "ETAGE", "0"}},
      {"a?b", {"WORD(a?b)", "0"}},
      {"a/b", {"WORD(a/b)", "0"}},
      {"<!ENTITY e \"v\">", {"PROTO2S", "WORD(ENTITY)", "WORD(e)", "STRING(\"v\")", ">", "0"}},
      {"a ?> b", {"WORD(a)", "PROTO1E", "WORD(b)", "0"}},
      {"x?>", {"WORD(x?)", ">", "0"}},
      {"?\?>", {"WORD(?\?)", ">", "0"}},
      {"? x", {"WORD(x)", "0"}},
      {"?\"q\"", {"STRING(?\"q\")", "0"}},
      {"a=b", {"WORD(a)", "=", "WORD(b)", "0"}},
      {"<!-- x -->", {"PROTO2S", "WORD(--)", "WORD(x)", "WORD(--)", ">", "0"}},
      {"<!DOCTYPE a SYSTEM 'a.d'>", {"PROTO2S", "WORD(DOCTYPE)", "WORD(a)", "WORD(SYSTEM)", "STRING('a.d')", ">", "0"}},
      {"</>", {"ETAGS", ">", "0"}},
      {"x &amp; y", {"WORD(x)", "WORD(&amp;)", "WORD(y)", "0"}},
      // Form feed, vertical tab and high bytes are word bytes; CR is a blank.
      {"a\fb c\vd \xC3\xA9", {"WORD(a\fb)", "WORD(c\vd)", "WORD(\xC3\xA9)", "0"}},
      {"a\rb", {"WORD(a)", "WORD(b)", "0"}},
      {"'it\"s'", {"STRING('it\"s')", "0"}},
      {"/=", {"=", "0"}},
      // The input ends inside a look-ahead or a string.
      {"<", {"<", "0"}},
      {"a ?", {"WORD(a)", "WORD(?)", "0"}},
      {"a /", {"WORD(a)", "WORD(/)", "0"}},
      {"\"abc", {"STRING(\"abc)", "0"}},
      {"'", {"STRING(')", "0"}},
      // A NUL byte belongs to the word but ends its value. In a string it
      // ends the copy of the text, and the closing quote is still appended.
      {std::string("ab\0cd e", 7), {"WORD(ab)", "WORD(e)", "0"}},
      {std::string("\"ab\0c\"", 6), {"STRING(\"ab\")", "0"}},
      {std::string("x='a\0\"b' y", 11), {"WORD(x)", "=", "STRING('a')", "WORD(y)", "0"}},
      {std::string("?\"\0\0\"", 5), {"STRING(?\"\")", "0"}},
      {std::string("\"a\0b\nc\" d", 10), {"STRING(\"a\")", "WORD(d)", "0"}},
      // The input ends inside the string: there is no closing quote to append.
      {std::string("\"ab\0c", 5), {"STRING(\"ab)", "0"}},
      {"", {"0"}},
  };
  return cases;
}

// The read-ahead text of a string cut short by a NUL stops at the NUL and
// has no closing quote, while its value is closed.
TEST(Scanner, StringWithNulKeepsItsTextCutAndItsValueClosed) {
  const std::string input("<a k=\"v\0x\">", 12);
  for (const std::size_t slice : {std::size_t{8192}, std::size_t{1}}) {
    MemorySource source(input, slice);
    TextModeReader reader(source);
    Scanner scanner(reader);
    int token = 0;
    while ((token = scanner.next_token()) != STRING && token != end_of_input) {}
    ASSERT_EQ(token, STRING);
    EXPECT_EQ(scanner.token_text(), "\"v");
    EXPECT_EQ(scanner.value_text(), "\"v\"");
    EXPECT_EQ(scanner.next_token(), close_angle);
    EXPECT_EQ(scanner.token_value(), "\"v\"");  // kept until the next WORD or STRING
  }
}

TEST(Scanner, TokenTable) {
  for (const TokenCase& c : token_cases()) {
    EXPECT_EQ(c.tokens, scan_all(c.input)) << "input: " << c.input;
    // Served one byte a read, every token straddles reads.
    EXPECT_EQ(c.tokens, scan_all(c.input, 1)) << "input, byte by byte: " << c.input;
  }
}

// Each token with its value, text and line. With `batch` > 0, every WORD,
// STRING or '=' is followed by next_run_tokens() with room for `batch`
// tokens for as long as it finds some; with `tags`, every WORD by
// next_attribute_value(), every '<' by next_start_tag() and every ETAGS by
// next_tag_name(). Tokens
// read ahead show only their values, except the last one read each time; a
// span shows as its words, so only the last word of a span that ends a
// batch shows its text and line.
std::vector<std::string> scan_detailed(std::string_view input, std::size_t slice, std::size_t batch,
                                       bool tags = false) {
  MemorySource source(input, slice);
  TextModeReader reader(source);
  Scanner scanner(reader);
  std::vector<std::string> tokens;
  const auto record = [&](int token) {
    tokens.push_back(describe(token, scanner.token_value()) + " text=" + std::string(scanner.token_text()) +
                     " line=" + std::to_string(scanner.line_number()));
  };
  std::vector<RunToken> run(std::max<std::size_t>(batch, 1));
  for (;;) {
    const int token = scanner.next_token();
    record(token);
    if (token == end_of_input || tokens.size() > 10000) return tokens;
    std::string_view value;
    if (tags && token == WORD && scanner.next_attribute_value(value)) {
      tokens.push_back(describe(equals_sign, ""));
      EXPECT_EQ(scanner.value_text(), value);
      record(STRING);
    }
    if (tags && (token == open_angle || token == ETAGS)) {
      LeafElement leaf;
      std::array<RunToken, 4> text;
      const TagRead read =
          token == open_angle ? scanner.next_start_tag(leaf, text.data(), text.size()) : scanner.next_tag_name(leaf.name);
      value = leaf.name;
      if (read == TagRead::leaf_element) {
        // A whole leaf element: its tokens by value, the last '>' in full.
        tokens.push_back(describe(WORD, std::string(leaf.name)));
        tokens.push_back(describe(close_angle, ""));
        for (std::size_t i = 0; i < leaf.count; ++i) {
          if (leaf.tokens[i].token != WORD_SPAN) {
            tokens.push_back(describe(leaf.tokens[i].token, std::string(leaf.tokens[i].value())));
            continue;
          }
          for_each_span_word(leaf.tokens[i].value(),
                             [&](std::string_view word) { tokens.push_back(describe(WORD, std::string(word))); });
        }
        tokens.push_back(describe(ETAGS, ""));
        tokens.push_back(describe(WORD, std::string(leaf.end_name)));
        record(close_angle);
        continue;
      }
      if (read == TagRead::name && token == open_angle) {
        // The attributes and the '>' of a start tag, read whole: each value
        // with the text and line it leaves, the '>' in full.
        const std::string name(leaf.name);
        std::array<TagAttribute, 3> attributes;
        int ending = 0;
        if (const std::size_t count = scanner.next_tag_attributes(attributes.data(), attributes.size(), ending)) {
          tokens.push_back(describe(WORD, name));
          for (std::size_t i = 0; i < count; ++i) {
            const std::string quoted(attributes[i].value);
            tokens.push_back(describe(WORD, std::string(attributes[i].name)));
            tokens.push_back(describe(equals_sign, ""));
            tokens.push_back(describe(STRING, quoted) + " text=" + quoted.substr(0, quoted.size() - 1) +
                             " line=" + std::to_string(attributes[i].line));
          }
          record(ending);
          continue;
        }
      }
      if (read == TagRead::name) {
        EXPECT_EQ(scanner.value_text(), value);
        record(WORD);
        if (scanner.next_attribute_value(value)) {
          tokens.push_back(describe(equals_sign, ""));
          record(STRING);
        }
      } else if (read == TagRead::name_and_close) {
        tokens.push_back(describe(WORD, std::string(value)));
        record(close_angle);
      }
    }
    if (batch == 0 || (token != WORD && token != STRING && token != equals_sign)) continue;
    while (const std::size_t count = scanner.next_run_tokens(run.data(), batch)) {
      // A span stands for its words; the last one read shows in full.
      std::vector<std::pair<int, std::string_view>> read;
      for (std::size_t i = 0; i < count; ++i) {
        if (run[i].token != WORD_SPAN) {
          read.emplace_back(run[i].token, run[i].value());
          continue;
        }
        std::size_t words = 0;
        for_each_span_word(run[i].value(), [&](std::string_view word) {
          EXPECT_FALSE(word.empty()) << "a span holds an empty word: " << run[i].value();
          read.emplace_back(WORD, word);
          ++words;
        });
        EXPECT_GE(words, 2u) << "a span of one word: " << run[i].value();
      }
      for (std::size_t i = 0; i + 1 < read.size(); ++i) tokens.push_back(describe(read[i].first, std::string(read[i].second)));
      if (read.back().first != equals_sign) {
        EXPECT_EQ(scanner.value_text(), read.back().second);
      }
      record(read.back().first);
    }
  }
}

// A text with NUL bytes in it, all of the literal but its terminating NUL.
template <std::size_t N>
std::string with_nuls(const char (&text)[N]) {
  return std::string(text, N - 1);
}

// Whether tokens read ahead match those read one by one: in full where the
// reading ahead shows text and line, by value elsewhere.
testing::AssertionResult same_tokens(const std::vector<std::string>& alone, const std::vector<std::string>& ahead) {
  if (alone.size() != ahead.size()) {
    return testing::AssertionFailure() << alone.size() << " tokens one by one, " << ahead.size() << " reading ahead";
  }
  for (std::size_t i = 0; i < alone.size(); ++i) {
    const bool full = ahead[i].find(" text=") != std::string::npos;
    const std::string expected = full ? alone[i] : alone[i].substr(0, alone[i].find(" text="));
    if (expected != ahead[i]) {
      return testing::AssertionFailure() << "token " << i << ": " << expected << " one by one, " << ahead[i]
                                         << " reading ahead";
    }
  }
  return testing::AssertionSuccess();
}

// Reading the tokens of a run with next_run_tokens(), attribute values with
// next_attribute_value() and the names of tags with next_tag_name() must
// give the tokens, values, texts and line numbers that next_token() alone
// gives.
TEST(Scanner, TokensReadAheadAreThoseReadOneByOne) {
  std::vector<std::string> inputs = {
      "one two\n three\r\n\tfour <a>five six</a> seven ?x /y z/ w? \"q\" after = eq",
      "a\n\n\nb c ?> d /> e",
      std::string("w1 w\0x w3 \0 w4\0", 15),
      "words at the end",
      "a run of more words than one batch holds: one two three four five six seven eight nine ten",
      // Strings and '=' inside runs: with newlines inside (not counted),
      // both quotes, NULs, right behind words, and one the input ends in.
      "a \"q r\" = b 'c\nd' e=\"f\"g \"\" '' x = = y\n\"s\"\n'it\"s' z",
      with_nuls("a \"q\0r\" b '\0' c = \"d"),
      "k=v ratio=91 \"second light\" last",
      // Attributes: spaced, across lines, without a value, with a continued
      // byte, with a NUL, and cut off.
      "<a b=\"c\" d = 'e' f=\"g\nh\" i=j k= \"l\" m\n=\n\"n\" o= > p=?\"q\" r=/\"s\" t=\"u",
      with_nuls("<a x=\"q\0r\" y='\0'/>"),
      "<Record Id=\"r0000001\" kind=\"plot\" visit='7'>",
      // Tags read whole with their attributes, and ones that are not: across
      // lines, more attributes than are taken at once, a value with a line
      // feed (not counted), with a NUL, without a value, ending in "/>",
      // "/ >" or "/w>".
      "<a b=\"1\"\n c = '2'\n\n>t<d e='x\ny' f=\"\"><g h='1' i='2' j='3' k='4'><l m='1' n>",
      with_nuls("<o p='a\0b'><q r='s'/><t u='v'\n/><w x='y'><z a='1' />x<y b='2'/ ><v c='3'/w>"),
      // Tags: spaced, across lines, with a NUL in the name, without a name,
      // with a continued byte, without their '>', and cut off.
      "<a>x</a> </b >\n</\nc\n> </d\0e> </> <//f> </?g> </h i> </j",
      with_nuls("</k\0>t</l\0 \0>"),
      "< a >< b\nc='d'>< >< /e>< ?f><g/><h\n>",
      with_nuls("<k\0>t<l\0 \0><m"),
      // Leaf elements read whole, and ones that are not: blanks around the
      // words or in the end tag, a string, '=', a backslash, a NUL in the end
      // name, a child, across lines, longer than is read whole, cut off.
      "<a>x</a><b>x y\tz\nw</c><d>x </d><e> x</e><f>x</f ><g>\"s\"</g><h>x=y</h><i>a\\b</i><j>\"<\"</j>",
      "<a>= \"q r\" 'it''s' x=y ?z /w</a><b>1 2 3 4 5 6 7 8</b><c>\"x</c>\"</c><d></d>",
      with_nuls("<j>x</j\0k><l>x<m>y</m></l><DataVector>1 2\t3</DataVector>\n<n>p q</n"),
      "<o>" + std::string(300, 'w') + " x</o><p>" + std::string(250, 'v') + " y</p><q>a\rb</q/>",
      // Long runs of words, read sixteen bytes at a time where they can be:
      // every kind of separator, doubled ones, and words a span may not
      // take (backslash, NUL, control byte, a leading / or ?) or that end
      // at quotes and markup, at every place in a block.
      "lead one two\tthree\rfour\nfive  six\n\nseven \teight nine ten eleven twelve thirteen",
      "aa bb cc dd ee ff gg a\\b hh ii jj kk ll mm nn oo pp qq /rr ss tt ?uu vv a/b c?d ww xx yy zz \x01x end",
      with_nuls("aaaa bbbb cccc dddd eeee ffff gg\0g hhhh iiii jjjj kkkk llll mmmm nnnn oooo pppp"),
      "aaaa bbbb cccc dddd eeee ffff\"q\" gggg hhhh iiii jjjj <x> kkkk llll mmmm nnnn=oooo pppp qqqq 'r'",
      "aaaa bbbb cccc dddd eeee ffff gggg hhhh <i> a b c d e f g h i j k l m n o p q r s t u v w x y z \t<",
      "x \xc3\xa9t\xc3\xa9 caf\xc3\xa9 na\xc3\xafve r\xc3\xa9sum\xc3\xa9 \xff\xfe \x7f end of the high bytes",
      "first words of a line\nsecond words of a line\nthird words of a line\n\nafter a blank line too",
  };
  // Every length of a word before the span's end, across block borders.
  for (std::size_t length = 1; length <= 20; ++length) {
    inputs.push_back("a bb ccc dddd " + std::string(length, 'w') + " eeeee ffffff ggggggg hhhhhhhh\n\"s\"" +
                     std::string(length, 'v') + "</x>");
  }
  for (const TokenCase& c : token_cases()) inputs.push_back(c.input);
  for (const std::string& input : inputs) {
    for (const std::size_t slice : {std::size_t{8192}, std::size_t{1}, std::size_t{3}}) {
      const std::vector<std::string> alone = scan_detailed(input, slice, 0);
      const std::string where = "input: " + input + ", " + std::to_string(slice) + " bytes a read";
      EXPECT_TRUE(same_tokens(alone, scan_detailed(input, slice, 1))) << where;
      EXPECT_TRUE(same_tokens(alone, scan_detailed(input, slice, 0, true))) << where;
      for (const std::size_t batch : {std::size_t{3}, std::size_t{32}}) {
        EXPECT_TRUE(same_tokens(alone, scan_detailed(input, slice, batch, true))) << where << ", batches of " << batch;
      }
    }
  }
}

TEST(Scanner, TokenTextAndStaleValue) {
  MemorySource source("?= ?<b \"q r\" a = ?\"s\"");
  TextModeReader reader(source);
  Scanner scanner(reader);
  struct Step {
    int token;
    std::string text;
    std::string value;
  };
  const std::vector<Step> steps = {
      {equals_sign, "?=", ""},  {open_angle, "?<", ""},        {WORD, "b", "b"},  {STRING, "\"q r", "\"q r\""},
      {WORD, "a", "a"},         {equals_sign, "=", "a"},        {STRING, "?\"s", "?\"s\""},
      {end_of_input, "", "?\"s\""},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(step.token, scanner.next_token());
    EXPECT_EQ(step.text, scanner.token_text());
    EXPECT_EQ(step.value, scanner.token_value());
  }
}

TEST(Scanner, CountsNewlinesOutsideStrings) {
  MemorySource source("a\n'x\ny'\n<\nb\n");
  TextModeReader reader(source);
  Scanner scanner(reader);
  const std::vector<std::pair<int, int>> expected = {
      {WORD, 0}, {STRING, 1}, {open_angle, 2}, {WORD, 3}, {end_of_input, 4}};
  for (const auto& [token, line] : expected) {
    EXPECT_EQ(token, scanner.next_token());
    EXPECT_EQ(line, scanner.line_number());
  }
}

TEST(Scanner, LongTokensGrowTheBufferAndKeepTheirWholeValue) {
  struct Case {
    std::string input;
    int token;
    std::size_t value_size;
    std::uint32_t buffer_size;
  };
  const std::vector<Case> cases = {
      {std::string(100, ' ') + "\"" + std::string(17998, 's') + "\"", STRING, 18000, 32768},
      {std::string(100000, 'w'), WORD, 100000, 131072},
      {std::string(16382, 'w'), WORD, 16382, 16384},
      {std::string(16383, 'w'), WORD, 16383, 32768},
  };
  for (const Case& c : cases) {
    MemorySource source(c.input);
    TextModeReader reader(source);
    Scanner scanner(reader);
    EXPECT_EQ(c.token, scanner.next_token());
    EXPECT_EQ(c.value_size, scanner.token_value().size());
    EXPECT_EQ(c.buffer_size, scanner.buffer_size());
    EXPECT_EQ(end_of_input, scanner.next_token());
  }
}

TEST(Scanner, TokensAcrossReadBoundaries) {
  // A 20000-byte document of words, one of which straddles byte 8192.
  std::string document;
  std::vector<std::string> words;
  for (int i = 0; document.size() < 20000; ++i) {
    words.push_back("w" + std::to_string(i * 7919));
    document += words.back() + ' ';
  }
  MemorySource source(document);
  TextModeReader reader(source);
  Scanner scanner(reader);
  for (const std::string& word : words) {
    ASSERT_EQ(WORD, scanner.next_token());
    ASSERT_EQ(word, scanner.token_value());
  }
  EXPECT_EQ(end_of_input, scanner.next_token());
  EXPECT_EQ(initial_buffer_size, scanner.buffer_size());
}

}  // namespace
}  // namespace xml2slist

namespace xml2slist {
namespace {

// The area a token over 1 MiB grew is given back before the next token, which
// the fresh area reads on from where the long one ended, across read sizes.
TEST(Scanner, AnAreaGrownForAHugeTokenIsGivenBackAfterIt) {
  const std::string huge(3 << 20, 'h');
  struct Case {
    std::string input;
    std::size_t slice;
    std::vector<std::string> after;  // the tokens after the huge one
  };
  const std::vector<Case> cases = {
      {"<" + huge + ">t</x>", 8192, {">", "WORD(t)", "ETAGS", "WORD(x)", ">", "0"}},
      {"<" + huge + " k='v'/>", 4093, {"WORD(k)", "=", "STRING('v')", "ETAGE", "0"}},
      {"\"" + huge + "\" ?w", 8191, {"WORD(?w)", "0"}},
  };
  for (const Case& c : cases) {
    MemorySource source(c.input, c.slice);
    TextModeReader reader(source);
    Scanner scanner(reader);
    int token = scanner.next_token();
    if (token == open_angle) token = scanner.next_token();
    EXPECT_TRUE(token == WORD || token == STRING);
    EXPECT_EQ(huge, scanner.value_text().substr(token == STRING ? 1 : 0, huge.size()));
    EXPECT_GT(scanner.buffer_size(), huge.size());
    std::vector<std::string> after;
    for (int next = -1; next != end_of_input;) {
      next = scanner.next_token();
      after.push_back(describe(next, scanner.token_value()));
      if (next != end_of_input) {
        EXPECT_EQ(initial_buffer_size, scanner.buffer_size());
      }
    }
    EXPECT_EQ(c.after, after);
  }
}

}  // namespace
}  // namespace xml2slist
