#include "translate/id_registry.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace xml2slist {
namespace {

TEST(IdRegistry, FindsEveryRepeatAcrossGrowth) {
  // Texts of many lengths (varint lengths of one to three bytes), the empty
  // text, and texts that differ only in their last byte or in their quotes.
  std::vector<std::string> texts = {"", "\"k\"", "'k'", "\"k", std::string(127, 'a'), std::string(128, 'a'),
                                    std::string(20000, 'b'), std::string(20000, 'b') + "c",
                                    // longer than a chunk of the text store
                                    std::string(70000, 'd'), std::string(70000, 'd') + "e"};
  for (int i = 0; i < 50000; ++i) texts.push_back("\"r" + std::to_string(i) + "\"");

  IdRegistry registry;
  std::set<std::string> seen;
  for (const std::string& text : texts) {
    EXPECT_EQ(seen.insert(text).second, registry.insert(text)) << text.substr(0, 40);
  }
  EXPECT_EQ(seen.size(), registry.size());
  // Every text is found again, none is added twice.
  for (const std::string& text : texts) EXPECT_FALSE(registry.insert(text)) << text.substr(0, 40);
  EXPECT_EQ(seen.size(), registry.size());
  EXPECT_TRUE(registry.insert("\"r50000\""));
}

}  // namespace
}  // namespace xml2slist
