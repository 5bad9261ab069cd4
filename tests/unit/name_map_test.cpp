#include "translate/name_map.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace xml2slist {
namespace {

// Names written so that the map's former hash put them all in one bucket:
// the keyed hash spreads them, so a reference is compared with about one
// declared name, not with all of them.
TEST(NameMap, NamesSharingAnUnkeyedBucketAreSpread) {
  constexpr std::size_t names = 400;
  NameMap<int> map;
  map.reserve(names);
  const std::size_t buckets = map.bucket_count();
  std::vector<std::string> crowded;
  for (std::uint64_t i = 0; crowded.size() < names; ++i) {
    std::string reference = "\"&e" + std::to_string(i) + ";\"";
    if (std::hash<std::string_view>{}(reference) % buckets == 0) crowded.push_back(std::move(reference));
  }
  for (std::size_t i = 0; i < crowded.size(); ++i) map.emplace(crowded[i], static_cast<int>(i));
  ASSERT_EQ(buckets, map.bucket_count());
  std::size_t compared = 0;
  for (std::size_t i = 0; i < crowded.size(); ++i) {
    const auto found = map.find(std::string_view(crowded[i]));
    ASSERT_NE(map.end(), found);
    EXPECT_EQ(static_cast<int>(i), found->second);
    compared += map.bucket_size(map.bucket(crowded[i]));
  }
  EXPECT_LT(static_cast<double>(compared) / names, 3.0);
}

}  // namespace
}  // namespace xml2slist
