#include "translate/position_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace xml2slist {
namespace {

// Every position reads back as pushed, whichever way the list keeps them:
// runs throughout, runs turning plain, plain from the start, distances that
// need more than 4 bytes, and after a clear.
TEST(PositionList, ReadsBackEveryPosition) {
  std::mt19937 random(11);
  const auto gaps = [&](int run_length, int count) {
    std::vector<std::int64_t> positions;
    std::int64_t at = 1 + static_cast<std::int64_t>(random() % 5);
    for (int i = 0; i < count; ++i) {
      positions.push_back(at);
      at += (i + 1) % run_length == 0 ? 2 + static_cast<std::int64_t>(random() % 1000) : 1;
    }
    return positions;
  };
  const struct {
    std::string name;
    std::vector<std::int64_t> positions;
  } cases[] = {
      {"one", {7}},
      {"two apart", {3, 9}},
      {"three apart, one before the first", {3, 9, 2}},
      {"four apart", {3, 9, 2, 40}},
      {"two apart, then far", {3, 9, std::int64_t{1} << 40, 4}},
      {"a run of two, then apart", {3, 4, 9, 1}},
      {"one run", gaps(1 << 30, 5000)},
      {"long runs", gaps(100, 5000)},
      {"runs of two", gaps(2, 5000)},
      {"single positions", gaps(1, 5000)},
      {"a run, then single positions", [&] {
         std::vector<std::int64_t> positions = gaps(1 << 30, 50);
         for (std::int64_t at = 100; at < 3000; at += 7) positions.push_back(at);
         return positions;
       }()},
      {"single positions, then a long run", [&] {
         std::vector<std::int64_t> positions{1, 5, 9};
         for (std::int64_t at = 20; at < 3000; ++at) positions.push_back(at);
         return positions;
       }()},
      // Fields that repeat in turn: each name comes back at one distance.
      {"one step", {5, 105, 205, 305, 405}},
      {"one step, backwards", {500, 400, 300}},
      {"one step, then off it", {5, 105, 205, 306, 406}},
      {"one step broken at the third", {5, 105, 206}},
      {"one step broken at the third, then far", {5, 105, 206, std::int64_t{1} << 40}},
      {"one step too far for 4 bytes", {5, (std::int64_t{1} << 33) + 5, (std::int64_t{1} << 34) + 5}},
      {"one step, long", [] {
         std::vector<std::int64_t> positions;
         for (std::int64_t at = 3; at < 100'000'000; at += 99'991) positions.push_back(at);
         return positions;
       }()},
      {"the same position twice", {5, 5, 5}},
      // A repeat whose member name was taken has an earlier member's position.
      {"positions before the first", {50, 51, 3, 52, 1, 60, 2}},
      // Distances beyond 4 bytes, from the runs and from the plain list.
      {"far from the runs", {10, 11, 12, std::int64_t{1} << 40, 13, (std::int64_t{1} << 40) + 1}},
      {"far from the plain list", {10, 20, 30, -(std::int64_t{1} << 33), 40, std::int64_t{1} << 35, 41}},
  };
  PositionList list;
  for (int round = 0; round < 2; ++round) {  // the second after clear(), on reused storage
    for (const auto& c : cases) {
      list.clear();
      for (const std::int64_t position : c.positions) list.push_back(position);
      ASSERT_EQ(c.positions.size(), list.size()) << c.name;
      for (std::size_t i = 0; i < c.positions.size(); ++i) ASSERT_EQ(c.positions[i], list[i]) << c.name << " at " << i;
    }
  }
}

}  // namespace
}  // namespace xml2slist
