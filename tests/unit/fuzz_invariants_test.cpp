// The output checker that the fuzz target relies on: it must accept every
// output the converter writes (so the fuzzer reports no false faults) and
// reject outputs that break a statement's shape or the status rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../fuzz/output_shape.h"
#include "../fuzz/r_code_shape.h"
#include "driver/conversion.h"

namespace {

namespace fs = std::filesystem;
using xml2slist::fuzz::check_conversion;
using xml2slist::fuzz::check_output_shape;

std::vector<std::string> seed_documents() {
  std::vector<std::string> documents;
  const fs::path corpus = fs::path(__FILE__).parent_path().parent_path() / "fuzz" / "corpus";
  for (const auto& entry : fs::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    documents.push_back(text.str());
  }
  return documents;
}

// Documents whose outputs stretch the checker: line feeds in strings and
// vectors, strings with a NUL byte or cut short by the end of the input,
// names that look like statements.
const std::vector<std::string> tricky_documents = {
    "<?p a='1'?><DataVector>\"1\n)\nz\" 2 '3\n)\nVesko$status_NULL\n'</DataVector>",
    std::string("<DataVector>1 \"a\0b\" x 'c\0' \"\0\"</DataVector>", 41),
    std::string("<a x=\"a\0b\" y='\0' z=\"2\">t</a>", 27),
    "<DataVector>1 \"ab",
    "<DataVector>?\"",
    "<DataVector>'",
    "<a>x 'ab\n\"",
    "<?p a='1'?><attr(a,>x</attr(a,><yydebug>y</yydebug><Vesko><status>NULL</status></Vesko>",
    "<a k=\"v\nattr(a,&quot;x&quot;)_\">t</a><b>",
    "<r><a Id=\"k\n'\"/><b Id=\"k\n'\"/></r>",
    "<a>t</a> ?",
    "<a>t</a>\n<b>u</b>",
    // Long runs of words, which the converter may take many at a time:
    // every separator, doubled ones, and words that must be taken alone.
    "<a>lead one two\tthree\rfour\nfive  six\n\nseven \teight nine a\\b ten eleven \"q\" x=y twelve</a>",
    "<r><DataVector>1 2 3\t4\r5\n6  7 8 9 10 11 12 13 14 15 16 17 18 19 20 'x' 21</DataVector></r>",
    "<p>aaaa bbbb cccc dddd eeee ffff gggg hhhh a\\b iiii jjjj kkkk /mm ?nn oo pp qq rr ss\x01t uu vv ww </p>",
    // Leaf elements, which the converter may read whole: across lines (the
    // error's line number must count them), in vectors, with a different
    // end name, and ones it may not read whole.
    "<r><a>x\ny\nz</a><DataVector>1\n2 3</DataVector><b>p q</c><d>\"s\"</d><e>t </e>\n<f>u</f>?></r>",
    "<r>\n<a>one two three</a>\n<a>four\tfive</a>\n<a>six</a>\n<DataVector>7</DataVector>\n</r> x",
    // Start tags read whole with their attributes: a repeated Id must read
    // as met right after its value, across lines, short or long, in the same
    // tag or the next, with values that entities replace.
    "<r><a Id='k'\n n=\"1\">t</a>\n<b n='2'\n\n Id = 'k'\n m='3'>u</b></r>",
    "<r><a x='1' Id='k' Id='k'>t</a></r>",
    "<r><a Id='" + std::string(300, 'v') + "' x='1'>t</a>\n<b x='2'\n Id='" + std::string(300, 'v') + "'>u</b></r>",
    "<!DOCTYPE r [<!ENTITY e \"v\">]>\n<r><a Id='&e;' x='&amp;'>t</a><b Id='v'\n>u</b></r>",
};

TEST(FuzzInvariants, EveryConverterOutputPasses) {
  std::vector<std::string> documents = seed_documents();
  documents.insert(documents.end(), tricky_documents.begin(), tricky_documents.end());
  ASSERT_GT(documents.size(), 30u);
  for (const std::string& document : documents) {
    // Each document and each of its prefixes: the input may end anywhere.
    const std::size_t step = document.size() > 2000 ? 37 : 1;
    for (std::size_t length = document.size() + 1; length-- > 0;) {
      if (length != document.size() && length % step != 0) continue;
      const std::string_view cut = std::string_view(document).substr(0, length);
      SCOPED_TRACE(::testing::Message() << "document " << ::testing::PrintToString(std::string(cut)));
      const auto plain = xml2slist::convert_document(cut);
      xml2slist::fuzz::ShapeReport shape;
      EXPECT_EQ(check_conversion(cut, plain.status, plain.out, plain.err, false, &shape), "");
      EXPECT_EQ(shape.statements, plain.out);
      const auto traced = xml2slist::convert_document(cut, "1");
      xml2slist::fuzz::ShapeReport traced_shape;
      EXPECT_EQ(check_conversion(cut, traced.status, traced.out, traced.err, true, &traced_shape), "");
      EXPECT_EQ(traced_shape.statements, plain.out) << "the trace lines are not all where the checker expects them";
      EXPECT_NE(traced.out, plain.out);
    }
  }
}

struct ShapeCase {
  const char* name;
  std::string out;
  bool trace;
  bool ok;
};

TEST(FuzzInvariants, StatementShapes) {
  const std::string status = "Vesko$status_NULL\nVesko$status_'Error: line 0; XML syntax error\nRead ahead text: <'";
  const ShapeCase cases[] = {
      {"list creation", "a_list()\n", false, true},
      {"list of an element with an empty name", "_list()\n", false, true},
      {"nested path", "a$b1$c?d_list()\n", false, true},
      {"text slot with escapes", "a[[12]]_\"x \\\"y\\\" \\'z\\' \\\\ w\"\n", false, true},
      {"vector slot", "a[[1]]_c(1,2,\\\"x\\\",=)\n", false, true},
      {"vector string holding a line feed", "a[[1]]_c(\\\"x\n)\n\\\",2)\n", false, true},
      {"attribute", "attr(a$b,\"x?y\")_\"1\"\n", false, true},
      {"attribute of an unnamed root", "attr(,\"x\")_'1'\n", false, true},
      {"attribute without value", "attr(a,\"x\")_\n", false, true},
      {"attribute from two declarations", "attr(a,\"x\")_\"a\"'b'\n", false, true},
      {"attribute value holding a line feed", "attr(a,\"x\")_\"a\nb\"\n", false, true},
      {"status pair", "a_list()\n" + status, false, true},
      {"status text with escapes", "Vesko$status_NULL\nVesko$status_'\\\\ \\''", false, true},
      {"trace around statements", "yydebug: state 32, reducing by rule 28 (stag : '<' WORD '>')\na_list()\n", true, true},
      {"trace inside a slot",
       "a[[1]]yydebug: after reduction, shifting from state 8 to state 19\nyydebug: state 19, reading 260 (ETAGS)\n_\"x\"\n",
       true, true},
      {"unwinding after the status", status + "yydebug: error recovery discarding state 35\nyydebug: error recovery discarding state 0\n",
       true, true},

      {"missing line feed", "a_list()", false, false},
      {"unknown statement", "a_lst()\n", false, false},
      {"unreplaced full stop in a path", "a.b_list()\n", false, false},
      {"blank in a path", "a b_list()\n", false, false},
      {"slot 0", "a[[0]]_\"x\"\n", false, false},
      {"slot with a leading zero", "a[[01]]_\"x\"\n", false, false},
      {"slot without value", "a[[1]]\n", false, false},
      {"lone backslash in text", "a[[1]]_\"x\\y\"\n", false, false},
      {"unescaped quote in text", "a[[1]]_\"x\"y\"\n", false, false},
      {"text without closing quote", "a[[1]]_\"x\n", false, false},
      {"attribute value without closing quote", "attr(a,\"x\")_\"v\nattr(a,\"y\")_\"w\"\n", false, false},
      {"vector string without closing quote", "a[[1]]_c(1,\\\"s,2)\n", false, false},
      {"vector not closed", "a[[1]]_c(1,2\n", false, false},
      {"blank in a vector", "a[[1]]_c(1 2)\n", false, false},
      {"unquoted attribute value", "attr(a,\"x\")_1\n", false, false},
      {"lone backslash in an attribute value", "attr(a,\"x\")_\"a\\b\"\n", false, false},
      {"attribute without )_", "attr(a,\"x\"_\"1\"\n", false, false},
      {"trace line with the trace off", "yydebug: state 0, reading 60 ('<')\n", false, false},
      {"trace inside a slot with the trace off", "a[[1]]yydebug: state 19, reading 260 (ETAGS)\n_\"x\"\n", false, false},
      {"wrong token name", "yydebug: state 0, reading 60 ('>')\n", true, false},
      {"rule string of another rule", "yydebug: state 32, reducing by rule 28 (stag : '<' WORD attrlists '>')\n", true, false},
      {"state out of range", "yydebug: state 56, shifting to state 3\n", true, false},
      {"statement after the status", status + "a_list()\n", false, false},
      {"reading after the status", status + "yydebug: state 4, reading 0 (end-of-file)\n", true, false},
      {"lone backslash in the status text", "Vesko$status_NULL\nVesko$status_'a\\b'", false, false},
      {"status text not closed", "Vesko$status_NULL\nVesko$status_'abc", false, false},
      {"first status line alone", "Vesko$status_NULL\n", false, false},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto report = check_output_shape(c.out, c.trace);
    EXPECT_EQ(report.ok, c.ok) << report.problem << " at " << report.offset;
  }
}

struct RunCase {
  const char* name;
  std::string document;
  int status;
  std::string out;
  std::string err;
  bool ok;
};

TEST(FuzzInvariants, StatusRules) {
  const std::string error = "Error: line 0; XML syntax error\nRead ahead text: <";
  const std::string pair = "Vesko$status_NULL\nVesko$status_'" + error + "'";
  const std::string warning = "Warning: No protocols in this XML instance\n";
  const std::string duplicate = "Error: Id = \"k\" is  duplicate.\nError: line 0; XML Id\nRead ahead text: \"k";
  const RunCase cases[] = {
      {"success", "<a/>", 0, "a_list()\n", "", true},
      {"success with the warning", "<a/>", 0, "a_list()\n", warning, true},
      {"syntax error", "<", 1, pair, error + "\n", true},
      {"duplicate Id", "<", 1, "Vesko$status_NULL\nVesko$status_'" + duplicate + "'", duplicate + "\n", true},
      {"fatal scanner error", "", 2, "a_list()\n", "input in flex scanner failed\n", true},

      {"status out of range", "", 3, "", "", false},
      {"status 0 with a status pair", "<", 0, pair, "", false},
      {"status 0 with an error message", "<", 0, "", error + "\n", false},
      {"status 1 without a status pair", "<", 1, "", error + "\n", false},
      {"status text not on standard error", "<", 1, pair, "Error: line 0; XML syntax error\n", false},
      {"standard error beyond the status text", "<", 1, pair, error + "\nmore\n", false},
      {"unknown report", "<", 1, "Vesko$status_NULL\nVesko$status_'Error: line 0; XML odd\nRead ahead text: '",
       "Error: line 0; XML odd\nRead ahead text: \n", false},
      {"warning before a stack overflow", "<", 1,
       "Vesko$status_NULL\nVesko$status_'" + warning + "Error: line 0; XML yacc stack overflow\nRead ahead text: '",
       warning + "Error: line 0; XML yacc stack overflow\nRead ahead text: \n", false},
      {"error line beyond the document", "<", 1, "Vesko$status_NULL\nVesko$status_'Error: line 3; XML syntax error\nRead ahead text: '",
       "Error: line 3; XML syntax error\nRead ahead text: \n", false},
      {"fatal error after a status pair", "<", 2, pair, "input in flex scanner failed\n", false},
      {"fatal error with an unknown message", "", 2, "", "disk on fire\n", false},
      {"NUL byte in the output", "<a/>", 0, std::string("a\0_list()\n", 10), "", false},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string problem = check_conversion(c.document, c.status, c.out, c.err, false);
    EXPECT_EQ(problem.empty(), c.ok) << problem;
  }
}

}  // namespace

namespace {

TEST(FuzzInvariants, EveryRCodeOutputPasses) {
  std::vector<std::string> documents = seed_documents();
  documents.insert(documents.end(), tricky_documents.begin(), tricky_documents.end());
  for (const std::string& document : documents) {
    const auto run = xml2slist::convert_document(document, nullptr, xml2slist::platform_memory(),
                                                 xml2slist::Target::r_code);
    EXPECT_EQ("", xml2slist::fuzz::check_r_code(run.out)) << document << "\n" << run.out;
  }
}

TEST(FuzzInvariants, RCodeThatCouldRunTheDocumentIsRejected) {
  const std::string start = "if (!exists(\"Vesko\") || !is.list(Vesko)) Vesko <- list()\nVesko$status <- NULL\n";
  const std::string programs[] = {
      "assign(\"r\", list(\"t\"))\n",                     // the start is missing
      start + "assign(\"r\", list(system(\"x\")))\n",        // a name of the document
      start + "assign(\"r\", list(\"t))\n",                  // a literal left open
      start + "x_1[[1]] <- `system`(1)\n",                   // another backquoted name
      start + "assign(\"r\", list(\"\xff\"))\n",             // a byte R refuses raw
      start + "assign(\"r\", list(\"a\" ~ b))\n",            // an operator of its own
  };
  for (const std::string& program : programs) EXPECT_NE("", xml2slist::fuzz::check_r_code(program)) << program;
  EXPECT_EQ("", xml2slist::fuzz::check_r_code(start + "x_12[3:4] <- list(c(1, -2e+3, 0x1Fi, .5, NA), \"a\\\"b\")\n"));
}

}  // namespace
