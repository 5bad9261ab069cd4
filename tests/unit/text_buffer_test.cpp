#include "translate/text_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace xml2slist {
namespace {

// Appends of every length around the inline copy's size classes, across
// several growths, must leave exactly the bytes a string would hold.
TEST(TextBuffer, AppendsOfEveryLengthKeepEveryByte) {
  TextBuffer buffer;
  std::string expected;
  for (int round = 0; round < 3; ++round) {
    for (std::size_t length = 0; length <= 40; ++length) {
      std::string piece;
      for (std::size_t i = 0; i < length; ++i) piece += static_cast<char>('a' + (i * 7 + length + round) % 26);
      buffer.append(piece);
      expected += piece;
      buffer.push_back(',');
      expected += ',';
    }
    ASSERT_EQ(expected, buffer.view()) << "round " << round;
    // A clear keeps small storage and drops large storage; either way the
    // next run starts empty.
    buffer.clear(round == 1 ? 0 : 1 << 20);
    expected.clear();
    EXPECT_TRUE(buffer.empty());
  }
  buffer.append(std::string(300000, 'x'));
  EXPECT_EQ(300000u, buffer.size());
  EXPECT_EQ(std::string(300000, 'x'), buffer.view());
}

// A path is cut back to where a member began, and then grows again from
// there: the bytes before the cut stay as they were.
TEST(TextBuffer, TruncateKeepsTheBytesBefore) {
  TextBuffer buffer;
  buffer.append("Records");
  const std::size_t root = buffer.size();
  for (int level = 0; level < 30; ++level) {
    buffer.push_back('$');
    buffer.append("Record" + std::to_string(level));
  }
  buffer.truncate(root);
  EXPECT_EQ("Records", buffer.view());
  buffer.append("$name1");
  EXPECT_EQ("Records$name1", buffer.view());
  buffer.truncate(0);
  EXPECT_TRUE(buffer.empty());
}

}  // namespace
}  // namespace xml2slist
