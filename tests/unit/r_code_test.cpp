#include "translate/r_code.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/conversion.h"
#include "translate/r_literals.h"

namespace xml2slist {
namespace {

std::string r_code_of(const std::string& document) {
  return convert_document(document, nullptr, platform_memory(), Target::r_code).out;
}

// Statements that put an element in place of a member of its name: they
// store by position and set no member name.
std::size_t replacements_in(const std::string& code) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < code.size();) {
    const std::size_t end = code.find('\n', at);
    const std::string line = code.substr(at, end - at);
    if (line.starts_with("x_") && line.find("]] <- ") != std::string::npos && line.find("; n_") == std::string::npos) ++count;
    at = end == std::string::npos ? code.size() : end + 1;
  }
  return count;
}

std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

TEST(RLiterals, TellsRConstantsFromOtherWords) {
  const struct {
    const char* word;
    bool constant;
  } cases[] = {
      {"1", true},       {"-2.5e3", true},  {"+.5", true},      {"5.", true},    {"1e-3", true},
      {"0x1F", true},    {"0x1Fi", true},   {"7L", true},       {"2i", true},    {"NA", true},
      {"-Inf", true},    {"TRUE", true},    {"NaN", true},      {"123456789L", true},
      {"1e5L", true},    {"1.e3L", true},   {"2147483647L", true},  {"0x7fffffffL", true},
      {"0x1p3", true},   {"0x1p3L", true},  {"012L", true},     {"0x1.8p1", true},  {"0x.8p1", true},
      {"0x1.8p1L", true},
      {"", false},       {".", false},      {"-", false},       {"1e", false},   {"0x", false},
      {"1.5L", false},   {"1.0L", false},   {"1e-3L", false},   {"2147483648L", false},
      {"0xFFFFFFFFL", false},  {"1e10L", false},  {"0x1p", false},  {"0x1.8", false},  {"0x.p1", false},
      {"1.2.3", false},  {"--1", false},    {"T", false},       {"na", false},   {"1_000", false},
      {"x", false},      {"1;x", false},    {"pi", false},      {"NA_integer_", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.constant, is_r_constant(c.word)) << c.word;
}

TEST(RLiterals, StringsEscapeWhatRWouldReadOtherwise) {
  const struct {
    std::string text;
    const char* literal;
  } cases[] = {
      {"plain words", "\"plain words\""},
      {"q\"b\\", "\"q\\\"b\\\\\""},
      {"a\nb\rc\td", "\"a\\nb\\rc\\td\""},
      {std::string("x\x01y\x7f", 4), "\"x\\x01y\\x7f\""},
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
      {"\xff\xc3(", "\"\\xff\\xc3(\""},                     // not UTF-8
      {"\xed\xa0\x80", "\"\\xed\\xa0\\x80\""},              // a surrogate
      {std::string("a\0b", 3), "\"ab\""},                   // no R string holds a NUL
  };
  for (const auto& c : cases) {
    TextBuffer out;
    append_r_string(out, c.text);
    EXPECT_EQ(c.literal, out.view());
  }
  TextBuffer escaped;
  append_r_escaped_string(escaped, "say \\\"hi\\\" \r\n\x01\xff");
  EXPECT_EQ("\"say \\\"hi\\\" \\r\\n\\x01\\xff\"", escaped.view());
}

// Texts and names of every length up to 40 with one byte of each kind at
// each place, against a literal built byte by byte: the quick checks read
// several bytes at once and must miss none at either end.
TEST(RLiterals, EveryPlaceOfEveryLengthIsChecked) {
  const auto literal = [](std::string_view text, bool escaped, bool name) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      if (c == 0) continue;
      if (c == '\n') { out += "\\n"; continue; }
      if (c == '\t') { out += "\\t"; continue; }
      if ((c == '"' || c == '\\') && !escaped) out += '\\';
      if (c < 0x20 || c == 0x7F) { out += hex; continue; }
      if (c >= 0x80) {  // the test's only sequence is the two bytes of e-acute
        if (c == 0xC3 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA9) {
          out += "\xc3\xa9";
          ++i;
        } else {
          out += hex;
        }
        continue;
      }
      out += name && c == '?' ? '.' : static_cast<char>(c);
    }
    return out + "\"";
  };
  const std::string kinds[] = {"\"", "\\", "?", "\n", "\t", std::string(1, '\0'), "\x01", "\x7f", "\xff", "\xc3\xa9", " "};
  for (std::size_t size = 1; size <= 40; ++size) {
    for (std::size_t at = 0; at < size; ++at) {
      for (const std::string& kind : kinds) {
        std::string text(size, 'a');
        text.replace(at, 1, kind);
        TextBuffer plain, escaped, name;
        append_r_string(plain, text);
        append_r_escaped_string(escaped, text);
        append_r_name(name, text);
        ASSERT_EQ(literal(text, false, false), plain.view()) << size << " " << at;
        ASSERT_EQ(literal(text, true, false), escaped.view()) << size << " " << at;
        ASSERT_EQ(literal(text, false, true), name.view()) << size << " " << at;
        // What is told plain is written as it stands; printable ASCII is plain.
        const bool ascii = kind == " ";
        ASSERT_TRUE(!text_is_plain(text) || plain.view() == "\"" + text + "\"") << size << " " << at;
        ASSERT_TRUE(!name_is_plain(text) || name.view() == "\"" + text + "\"") << size << " " << at;
        ASSERT_TRUE(!ascii || text_is_plain(text)) << size << " " << at;
        ASSERT_TRUE(!ascii || name_is_plain(text)) << size << " " << at;
      }
    }
  }
}

// A member name that is numbered may equal one written with its digits: S
// then replaces the earlier member, which R code must find by its name.
TEST(RCode, FindsTheMemberOfARepeatedNameOnlyInItsParent) {
  // More names than one block of the writer's records holds.
  std::string many_names;
  for (int i = 1; i <= 150; ++i) many_names += "<field" + std::to_string(i) + ">v</field" + std::to_string(i) + ">";
  const struct {
    const char* what;
    std::string document;
    std::size_t replaced;
  } cases[] = {
      {"numbered after the literal", "<r><b>1</b><b1>2</b1><b>3</b></r>", 1},
      {"literal after the numbered", "<r><b>1</b><b>2</b><b1>3</b1></r>", 1},
      {"numbered name ending in a digit", "<r><h1>a</h1><h1>b</h1><h11>c</h11></r>", 1},
      {"no clash", "<r><h1>a</h1><h1>b</h1><h2>c</h2><b>x</b><b>y</b><b2>z</b2></r>", 0},
      {"numbered empty name", std::string("<r><\0>a</\0><\0>b</\0><1>c</1></r>", 31), 1},
      {"clash in an earlier parent only", "<r><s><b>1</b><b>2</b></s><s><b1>x</b1></s></r>", 0},
      // field1 repeated is field11, then field12: both taken; field14
      // repeated is field141, in another block.
      {"many names in one parent", "<r>" + many_names + "<field1 k=\"1\"/><field1 k=\"2\"/><field14 k=\"3\"/></r>", 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.replaced, replacements_in(r_code_of(c.document))) << c.what << "\n" << r_code_of(c.document);
  }
}

// b met twelve times is b to b11 in its parent: a b12 is new there, a b1
// is taken.
TEST(RCode, TakenNamesAreTheRepeatsMetInTheParent) {
  std::string twelve;
  for (int i = 0; i < 12; ++i) twelve += "<b>" + std::to_string(i) + "</b>";
  const std::string code = r_code_of("<r>" + twelve + "<b12>x</b12><b1>y</b1></r>");
  EXPECT_EQ(1u, replacements_in(code)) << code;
  EXPECT_EQ(1u, count_of(code, "x_1[[2]] <- list(\"y\")\n")) << code;
}

// Held code is bounded: an element too large to keep goes into its
// variable, and its further items follow in batches.
TEST(RCode, ALargeElementIsGatheredInItsVariable) {
  const std::string run(40000, 'a');
  const std::string code = r_code_of("<r><e>" + run + "<x />" + run + "<x />" + run + "</e></r>");
  EXPECT_EQ(1u, count_of(code, "x_2 <- list(\"" + run + "\", NULL, \" " + run + "\"); n_2 <- character(3)\n"));
  EXPECT_EQ(1u, count_of(code, "x_2[4:5] <- list(NULL, \" " + run + "\")\n"));
  EXPECT_EQ(1u, count_of(code, "x_1[[1]] <- x_2; n_1[1] <- \"e\"\n"));
}

// An element whose attributes are large when it closes goes out at once,
// not through its parent's held code.
TEST(RCode, ALargeElementIsWrittenOutWhenItCloses) {
  const std::string value(70000, 'v');
  const std::string code = r_code_of("<r>t<a k=\"" + value + "\"/><b>u</b></r>");
  EXPECT_EQ(1u, count_of(code, "x_1 <- list(\"t\"); n_1 <- character(1)\n"
                               "x_1[[2]] <- list() |> `attributes<-`(list(\"k\" = \"" + value + "\")); n_1[2] <- \"a\"\n"
                               "x_1[[3]] <- list(\"u\"); n_1[3] <- \"b\"\n"))
      << code.substr(0, 300);
}

// R takes names of at most 10,000 bytes for variables and attributes: a
// longer root name gives "xml:", longer attribute names go into one list.
TEST(RCode, NamesTooLongForRAreStrings) {
  const std::string name(10000, 'a');
  const std::string code = r_code_of("<" + name + " " + name + "=\"1\" j=\"2\">x</" + name + ">");
  EXPECT_EQ(1u, count_of(code, "assign(\"xml:\", list(\"x\") |> `attributes<-`(list(\"j\" = \"2\", "
                               "\"xml:long\" = `names<-`(list(\"1\"), c(\"" + name + "\")))))\n"))
      << code.substr(0, 200);
  EXPECT_EQ(1u, count_of(r_code_of("<" + name.substr(1) + ">x</" + name.substr(1) + ">"), "assign(\"" + name.substr(1) + "\""));
}

// Many small children go into their parent in a few statements, not one each.
TEST(RCode, ItemsOfAGatheredElementGoInBatches) {
  std::string children;
  for (int i = 0; i < 20000; ++i) children += "<e k=\"" + std::to_string(i) + "\">t</e>";
  const std::string code = r_code_of("<r>" + children + "</r>");
  const std::size_t statements = count_of(code, "\n");
  EXPECT_GT(statements, 5u);
  EXPECT_LT(statements, 60u);
  EXPECT_EQ(1u, count_of(code, "\"e19999\")"));
}

// The deepest nesting of parentheses outside string literals: R's parser
// refuses code nested more than about fifty deep.
std::size_t deepest_nesting(const std::string& code) {
  std::size_t depth = 0, deepest = 0;
  for (std::size_t i = 0; i < code.size(); ++i) {
    if (code[i] == '"') {
      for (++i; code[i] != '"'; ++i) i += code[i] == '\\' ? 1 : 0;
    } else if (code[i] == '(') {
      deepest = std::max(deepest, ++depth);
    } else if (code[i] == ')') {
      --depth;
    }
  }
  return deepest;
}

// Elements are kept one inside another only so deep; the outer ones of a
// deeper chain go into variables, whatever their attributes and texts.
TEST(RCode, NestingStaysWithinWhatRParses) {
  const struct {
    const char* what;
    const char* open;
    const char* close;
  } cases[] = {
      {"bare elements", "<e>", "</e>"},
      {"texts and attributes", "<e k=\"1\">t ", "</e> u"},
      {"vectors", "<DataVector>1 2<e>", "</e></DataVector>"},
  };
  for (const auto& c : cases) {
    for (const int levels : {10, 30, 200}) {
      std::string document = "<r>";
      for (int i = 0; i < levels; ++i) document += c.open;
      for (int i = 0; i < levels; ++i) document += c.close;
      const std::string code = r_code_of(document + "</r>");
      EXPECT_LE(deepest_nesting(code), 32u) << c.what << ", " << levels << " levels";
      EXPECT_EQ(1u, count_of(code, "assign(\"r\", ")) << c.what << ", " << levels << " levels";
    }
  }
}

TEST(RCode, AnErrorBuildsTheOpenElementsBeforeTheStatus) {
  const std::string code = r_code_of("<?xml version=\"1.0\"?>\n<r><a>x<b>y");
  const std::size_t built = code.find("assign(\"r\"");
  const std::size_t status = code.find("Vesko$status <- \"Error");
  ASSERT_NE(std::string::npos, built);
  ASSERT_NE(std::string::npos, status);
  EXPECT_LT(built, status);
  // At most the removal of the temporaries follows.
  const std::string rest = code.substr(code.find('\n', status) + 1);
  EXPECT_TRUE(rest.empty() || rest.starts_with("rm(list = ")) << code;
}

}  // namespace
}  // namespace xml2slist
