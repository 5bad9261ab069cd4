#include "driver/conversion.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/program.h"
#include "translate/statement_writer.h"

namespace xml2slist {
namespace {

// Accepts `room` bytes, then fails as a full disk does.
class FullSink final : public ByteSink {
 public:
  explicit FullSink(std::size_t room) : room_(room) {}
  bool write(const char* data, std::size_t size) override {
    if (size > room_) {
      errno = ENOSPC;
      return false;
    }
    room_ -= size;
    text.append(data, size);
    return true;
  }
  bool is_terminal() const override { return false; }
  std::string text;

 private:
  std::size_t room_;
};

std::string temporary_document(const std::string& name, const std::string& content) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

ProgramRun run(const std::vector<std::string>& args) {
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  StringSink out, err;
  const int status = run_program(static_cast<int>(argv.size()), argv.data(), nullptr, out, err);
  return {status, out.text, err.text};
}

// Records each write it receives, and says whether it is a terminal.
class CountingSink final : public ByteSink {
 public:
  explicit CountingSink(bool terminal) : terminal_(terminal) {}
  bool write(const char* data, std::size_t size) override {
    writes.emplace_back(data, size);
    return true;
  }
  bool is_terminal() const override { return terminal_; }
  std::vector<std::string> writes;

 private:
  bool terminal_;
};

TEST(OutputStream, ATerminalSeesEachPrintAtOnceAFileOnlyWhenFlushed) {
  for (const bool terminal : {true, false}) {
    CountingSink sink(terminal);
    OutputStream out(sink);
    out << "a_list()\n" << 'x' << 12;
    const std::vector<std::string> expected =
        terminal ? std::vector<std::string>{"a_list()\n", "x", "12"} : std::vector<std::string>{};
    EXPECT_EQ(expected, sink.writes);
    out.flush();
    EXPECT_EQ(terminal ? 3u : 1u, sink.writes.size());
  }
}

// A statement copied into the buffer at once must reach the sink in the same
// writes as its pieces printed one by one: around the buffer's end, larger
// than the buffer, and on a terminal.
TEST(OutputStream, StatementsReachTheSinkAsTheirPiecesWould) {
  const std::string path = "Records$Record12$note3";
  const std::string huge(70000, 'v');
  for (const bool terminal : {false, true}) {
    for (std::size_t filler = 65536 - 48; filler <= 65536; filler += 3) {
      for (const std::string* value : {&path, &huge}) {
        CountingSink by_pieces(terminal), by_statement(terminal);
        OutputStream pieces(by_pieces), statement(by_statement);
        const std::string fill(filler, 'f');
        pieces << fill << "attr(" << path << ",\"" << "Id" << "\")_" << *value << '\n' << path << "_list()\n";
        statement << fill;
        write_statement(statement, "attr(", path, ",\"", std::string_view("Id"), "\")_", *value, '\n');
        write_statement(statement, std::string_view(path), "_list()\n");
        pieces.flush();
        statement.flush();
        ASSERT_EQ(by_pieces.writes, by_statement.writes)
            << (terminal ? "terminal, " : "file, ") << filler << " bytes before, value of " << value->size();
      }
    }
  }
}

TEST(Program, OpensEveryArgumentAndReadsTheLast) {
  const std::string one = temporary_document("one.xml", "<one>1</one>");
  const std::string two = temporary_document("two.xml", "<?p a='1'?><two />");
  const std::string missing = testing::TempDir() + "no-such-file.xml";

  const ProgramRun both = run({"conv", one, two});
  EXPECT_EQ(0, both.status);
  EXPECT_EQ("", both.out);  // an empty-element tag without attributes writes nothing
  EXPECT_EQ("", both.err);

  const ProgramRun first_missing = run({"conv", missing, one});
  EXPECT_EQ(1, first_missing.status);
  EXPECT_EQ("", first_missing.out);
  EXPECT_EQ("conv: Can't open " + missing + " \n", first_missing.err);

  const ProgramRun last_missing = run({"./x2s", one, missing});
  EXPECT_EQ(1, last_missing.status);
  EXPECT_EQ("./x2s: Can't open " + missing + " \n", last_missing.err);
}

TEST(Conversion, AFailedWriteToStandardOutputIsNotSuccess) {
  const std::string document = "<?p a='1'?><r>" + std::string(200000, 'x') + "</r>";
  for (const std::size_t room : {std::size_t{0}, std::size_t{10}, std::size_t{1} << 20}) {
    MemorySource source(document);
    FullSink out_sink(room);
    StringSink err_sink;
    OutputStream out(out_sink), err(err_sink, false);
    const int status = Conversion(source, out, err, "conv").run(nullptr);
    if (room >= document.size()) {
      EXPECT_EQ(0, status);
      EXPECT_EQ("", err_sink.text);
    } else {
      EXPECT_EQ(2, status) << "room " << room;
      EXPECT_EQ("conv: Can't write standard output: No space left on device\n", err_sink.text);
    }
  }
}

TEST(Conversion, StatusTextKeepsItsBoundWhileStandardErrorHasAll) {
  const std::string word(600, 'w');
  const ConversionResult long_read_ahead = convert_document("<a>t</a> " + word);
  const std::string prologue_warning = "Warning: No protocols in this XML instance\n";
  const std::string error_line = "Error: line 0; XML syntax error\n";
  EXPECT_EQ(prologue_warning + error_line + "Read ahead text: " + word + "\n", long_read_ahead.err);
  const std::string status_text = (prologue_warning + error_line + "Read ahead text: " + word).substr(0, 499);
  EXPECT_EQ("a_list()\na[[1]]_\"t\"\nVesko$status_NULL\nVesko$status_'" + status_text + "'", long_read_ahead.out);
}

// Attribute values of every size reach their statements whole: short ones
// read in place, ones larger than the text kept between tags, several in
// one tag, and a large Id found again in a later tag.
TEST(Conversion, AttributeValuesOfEverySizeAreWrittenWhole) {
  const std::string big_a(1500000, 'a');
  const std::string big_b(1200000, 'b');
  const std::string document = "<?xml version=\"1.0\"?><r a=\"" + big_a + "\" Id=\"" + big_b + "\" c=\"x\\y\">" +
                               "<s k='" + big_a + "' Id=\"q\"/><t Id=\"" + big_b + "\"/></r>";
  const ConversionResult result = convert_document(document);
  EXPECT_EQ(1, result.status);
  const std::string expected_out = "r_list()\nattr(r,\"a\")_\"" + big_a + "\"\nattr(r,\"Id\")_\"" + big_b +
                                   "\"\nattr(r,\"c\")_\"x\\\\y\"\nr$s_list()\nattr(r$s,\"k\")_'" + big_a +
                                   "'\nattr(r$s,\"Id\")_\"q\"\nVesko$status_NULL\n";
  EXPECT_EQ(expected_out, result.out.substr(0, expected_out.size()));
  const std::string expected_err = "Error: Id = \"" + big_b + "\" is  duplicate.\n";
  EXPECT_EQ(expected_err, result.err.substr(0, expected_err.size()));
}

}  // namespace
}  // namespace xml2slist

namespace xml2slist {
namespace {

// An Id may be checked after its tag, once later statements are written: a
// repeated one must still read as found at its tag. What was written since
// is taken back, flushed or not (3,000 elements are more than one buffer of
// output), and a text run of the parent whose slot is open at the tag is
// completed, as it is when the Id is checked at once.
TEST(Conversion, ARepeatedIdReadsAsFoundAtItsTag) {
  std::string filler, filler_out;
  for (int i = 0; i < 3000; ++i) {
    const std::string member = "r$f" + (i == 0 ? std::string() : std::to_string(i));
    filler += "<f>w</f>";
    filler_out += member + "_list()\n" + member + "[[1]]_\"w\"\n";
  }
  const std::string first = "r_list()\nr$e_list()\nattr(r$e,\"Id\")_\"a\"\n";
  const struct {
    const char* what;
    std::string document;
    std::string out_before_status;
  } cases[] = {
      {"content after it", "<r><e Id=\"a\"/><g Id=\"a\">t u<h k=\"1\"/>v</g><z/></r>", first},
      {"output flushed meanwhile", "<r><e Id=\"a\"/>" + filler + "<g Id=\"a\">t<h/>u</g><z/></r>", first + filler_out},
      {"the parent's run open", "<r><e Id=\"a\"/>s t<g Id=\"a\">u</g></r>", first + "r[[2]]_\" s t\"\n"},
      {"the parent's run of one word", "<r><e Id=\"a\"/>s<g Id=\"a\">u</g></r>", first + "r[[2]]_\" s\"\n"},
      {"an error after it", "<r><e Id=\"a\"/><g Id=\"a\">u</g><</r>", first},
      {"the end after it", "<r><e Id=\"a\"/><g Id=\"a\">u", first},
  };
  for (const auto& c : cases) {
    const ConversionResult result = convert_document("<?xml version=\"1.0\"?>\n" + c.document);
    EXPECT_EQ(1, result.status) << c.what;
    EXPECT_TRUE(result.out.starts_with(c.out_before_status + "Vesko$status_NULL\n")) << c.what << "\n"
                                                                                     << result.out.substr(0, 300);
    EXPECT_TRUE(result.err.starts_with("Error: Id = \"a\" is  duplicate.\nError: line 1; XML Id\n")) << c.what << "\n"
                                                                                                    << result.err;
  }
}

}  // namespace
}  // namespace xml2slist
