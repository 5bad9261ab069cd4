#include "translate/entities.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace xml2slist {
namespace {

// Declares each name as <!ENTITY name "vI">, then looks every reference up;
// returns the used slots looked at per lookup.
double probes_per_lookup(const HashKey& key, const std::vector<std::string>& names) {
  Entities entities(key);
  for (std::size_t i = 0; i < names.size(); ++i) {
    entities.reset_state();
    entities.record_entity_token("ENTITY", true);
    entities.record_entity_token(names[i], true);
    entities.record_entity_token("\"v" + std::to_string(i) + "\"", false);
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string value;
    entities.add_attribute_string("\"&" + names[i] + ";\"", value);
    EXPECT_EQ("\"v" + std::to_string(i) + "\"", value);
  }
  return static_cast<double>(entities.probes()) / static_cast<double>(names.size());
}

// References written to share one slot of the index under one key, as a
// document written by someone who knew the key would: under any other key
// they spread, so a lookup compares with about one declared reference.
TEST(Entities, ReferencesCrowdedUnderOneKeySpreadUnderAnother) {
  constexpr std::size_t count = 400;
  constexpr std::size_t slots = 1024;  // the index of 400 rows: a power of two, at least twice the rows
  const HashKey known{0x0123456789abcdefull, 0xfedcba9876543210ull};
  std::vector<std::string> crowded;
  for (std::uint64_t i = 0; crowded.size() < count; ++i) {
    std::string name = "e" + std::to_string(i);
    if ((keyed_hash(known, "\"&" + name + ";\"") & (slots - 1)) == 0) crowded.push_back(std::move(name));
  }
  EXPECT_GT(probes_per_lookup(known, crowded), 100.0);
  EXPECT_LT(probes_per_lookup(HashKey{0x1111, 0x2222}, crowded), 3.0);
  EXPECT_LT(probes_per_lookup(process_hash_key(), crowded), 3.0);
}

}  // namespace
}  // namespace xml2slist
