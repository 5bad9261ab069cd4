#include "translate/escaping.h"
#include "translate/name_map.h"

#include <gtest/gtest.h>

#include <string>

namespace xml2slist {
namespace {

std::string doubled(std::string_view text) {
  std::string out;
  emit_doubling_backslashes(text, [&out](std::string_view piece) { out.append(piece); });
  return out;
}

// A backslash at any place of a text of any length around the sizes the
// test reads at once is found, and bytes that differ from it by one bit or
// by a borrow are not taken for one.
TEST(Escaping, BackslashFoundAtEveryPlaceOfEveryLength) {
  for (std::size_t length = 0; length <= 40; ++length) {
    for (const char filler : {'a', '\x5D', '\x5B', '\xDC', '\x1C', '\0'}) {
      std::string text(length, filler);
      EXPECT_FALSE(contains_backslash(text)) << length << " bytes of " << int{filler};
      EXPECT_EQ(text, doubled(text));
      for (std::size_t at = 0; at < length; ++at) {
        text[at] = '\\';
        ASSERT_TRUE(contains_backslash(text)) << "at " << at << " of " << length;
        std::string expected(length + 1, filler);
        expected[at] = expected[at + 1] = '\\';
        ASSERT_EQ(expected, doubled(text)) << "at " << at << " of " << length;
        text[at] = filler;
      }
    }
  }
  EXPECT_EQ("a\\\\\\\\b\\\\", doubled("a\\\\b\\"));
}

// Each of ":_-." becomes '?' at any place of a name of any length around
// the sizes tested at once, and no other byte is touched, also ones a bit
// or a borrow away from them.
TEST(NameCharacters, ReplacedAtEveryPlaceOfEveryLength) {
  for (std::size_t length = 0; length <= 40; ++length) {
    for (const char special : {':', '_', '-', '.'}) {
      for (const char filler : {'a', ';', '9', '^', '/', ',', '\xAE', '\0'}) {
        std::string name(length, filler);
        replace_name_characters(name);
        ASSERT_EQ(std::string(length, filler), name) << length << " bytes of " << int{filler};
        for (std::size_t at = 0; at < length; ++at) {
          name.assign(length, filler);
          name[at] = special;
          replace_name_characters(name);
          std::string expected(length, filler);
          expected[at] = '?';
          ASSERT_EQ(expected, name) << special << " at " << at << " of " << length;
        }
      }
    }
  }
}

}  // namespace
}  // namespace xml2slist
