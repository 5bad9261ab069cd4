#include "translate/id_registry.h"
#include "translate/name_counts.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

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

// Member names are counted per level: each meeting returns how many came
// before, and a cleared level starts again from nothing, also after it grew
// past the sizes it keeps.
TEST(NameCounts, CountsMeetingsAndForgetsOnClear) {
  NameCounts counts;
  // The last rounds stay within one small chunk, which a clear keeps.
  for (const int names : {7, 5000, 3, 3}) {
    std::map<std::string, std::int64_t> expected;
    for (int i = 0; i < 4 * names; ++i) {
      // Names of one byte up to longer than a chunk, met in a shuffled order.
      const int which = (i * 7919) % names;
      const std::string name = which == 3 ? std::string(70000, 'n') : "field" + std::to_string(which);
      ASSERT_EQ(expected[name]++, counts.meet(name)) << name.substr(0, 20) << " among " << names << " names";
    }
    EXPECT_FALSE(counts.empty());
    counts.clear();
    EXPECT_TRUE(counts.empty());
  }
  EXPECT_EQ(0, counts.meet(""));
  EXPECT_EQ(1, counts.meet(""));
}

// The last names met are compared before the table is searched: names that
// differ in one byte anywhere, cycles longer than what is kept, runs of new
// names long enough to stop the comparing, and clears in between must all
// count as the table alone would.
TEST(NameCounts, RecentNamesCountAsTheTableDoes) {
  NameCounts counts;
  std::map<std::string, std::int64_t> expected;
  const auto meet = [&](const std::string& name) {
    ASSERT_EQ(expected[name]++, counts.meet(name)) << name;
  };
  for (std::size_t size = 1; size <= 20; ++size) {
    for (const std::size_t cycle : {1u, 2u, 5u, 8u, 9u, 11u}) {
      std::vector<std::string> names;
      for (std::size_t i = 0; i < cycle; ++i) {
        std::string name(size, 'a');
        name[(i * 5) % size] = static_cast<char>('b' + i);  // one byte differs, at a different place
        names.push_back(name);
      }
      for (int round = 0; round < 6; ++round) {
        for (const std::string& name : names) meet(name);
      }
      if (cycle == 11) {  // twenty new names in a row, then the old ones again
        for (int i = 0; i < 20; ++i) meet(std::string(size, 'c') + std::to_string(i));
        for (const std::string& name : names) meet(name);
      }
      if (size % 3 == 0) {  // a clear forgets what was met, recent names included
        counts.clear();
        expected.clear();
        for (const std::string& name : names) meet(name);
      }
    }
  }
}

}  // namespace
}  // namespace xml2slist
