#include "scanner/text_mode_reader.h"

#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "scanner/byte_source.h"
#include "scanner/scanner.h"

namespace xml2slist {
namespace {

std::string read_all(std::string_view raw, std::size_t slice, std::size_t block) {
  MemorySource source(raw, slice);
  TextModeReader reader(source);
  std::string text;
  std::vector<char> buffer(block);
  for (;;) {
    const std::size_t n = reader.read_block(buffer.data(), block);
    if (n == 0) return text;
    text.append(buffer.data(), n);
  }
}

TEST(TextModeReader, JoinsCarriageReturnLineFeedAndStopsAtControlZ) {
  struct Case {
    std::string raw;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"a\rb\r", "a\rb\r"},          // a lone carriage return stays
      {"\r\r\n\r", "\r\n\r"},
      {"ab\x1A" "cd", "ab"},          // 0x1A ends the input
      {"\x1A", ""},
      {"a\r\x1A\nb", "a\r"},
      {std::string(10000, 'x') + "\r\n" + std::string(9000, 'y'), std::string(10000, 'x') + "\n" + std::string(9000, 'y')},
  };
  for (const Case& c : cases) {
    // Every read size, so that a pair split across two reads is still joined.
    for (const std::size_t slice : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{8192}}) {
      for (const std::size_t block : {std::size_t{1}, std::size_t{7}, std::size_t{8192}}) {
        EXPECT_EQ(c.text, read_all(c.raw, slice, block)) << "slice " << slice << " block " << block;
      }
    }
  }
}

class FailingSource final : public ByteSource {
 public:
  ssize_t read(char* destination, std::size_t) override {
    if (calls_++ == 0) {
      destination[0] = 'a';
      return 1;
    }
    return -1;
  }
  bool is_terminal() const override { return false; }

 private:
  int calls_ = 0;
};

TEST(TextModeReader, ReadErrorSetsTheErrorFlagAfterTheBytesBeforeIt) {
  FailingSource source;
  TextModeReader reader(source);
  char buffer[16];
  EXPECT_EQ(1u, reader.read_block(buffer, sizeof buffer));
  EXPECT_FALSE(reader.error());
  EXPECT_EQ(0u, reader.read_block(buffer, sizeof buffer));
  EXPECT_TRUE(reader.error());
}

TEST(Scanner, ReadErrorIsFatal) {
  FailingSource source;
  TextModeReader reader(source);
  Scanner scanner(reader);
  try {
    // The word's end is only known after the failing read.
    scanner.next_token();
    FAIL() << "no fatal error";
  } catch (const ScannerFatal& fatal) {
    EXPECT_STREQ("input in flex scanner failed", fatal.what());
  }
}

// On a terminal, the tokens of a line arrive as soon as the line is entered.
TEST(Scanner, TerminalInputIsReadALineAtATime) {
  int master = -1, slave = -1;
  ASSERT_EQ(0, openpty(&master, &slave, nullptr, nullptr, nullptr));
  FdSource source(slave);
  TextModeReader reader(source);
  Scanner scanner(reader);
  const std::string line = "<a>x\n";
  ASSERT_EQ(static_cast<ssize_t>(line.size()), write(master, line.data(), line.size()));

  auto tokens = std::async(std::launch::async, [&scanner] {
    std::vector<int> got;
    for (int i = 0; i < 4; ++i) got.push_back(scanner.next_token());
    return got;
  });
  const bool arrived = tokens.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!arrived) close(master);  // unblocks the reader so the test can end
  ASSERT_TRUE(arrived) << "the line's tokens did not arrive before the input ended";
  EXPECT_EQ((std::vector<int>{open_angle, WORD, close_angle, WORD}), tokens.get());
  close(master);
  close(slave);
}

}  // namespace
}  // namespace xml2slist
