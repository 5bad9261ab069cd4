#include "translate/id_registry.h"
#include "translate/name_counts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "translate/text_table.h"

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

// A table whose store of records is full passes the texts that no longer
// fit on to a next one, and that one to a third...: each text is still added
// once, counted and found, and stays where it was first stored. The stores
// here hold two chunks, a few hundred bytes, rather than 4 GiB.
TEST(TextTable, PassesTextsOnOnceItsStoreIsFull) {
  TextTable table(true, process_hash_key(), false, 0, 2);
  std::vector<std::string> texts;
  for (int i = 0; i < 3000; ++i) {
    texts.push_back(i % 97 == 0 ? std::string(300 + i % 5, 'x') + std::to_string(i) : "t" + std::to_string(i));
  }
  std::map<std::string, char*> kept;
  for (int round = 0; round < 3; ++round) {
    for (const std::string& text : texts) {
      const TextTable::Counted counted = table.find_or_add_counted(text);
      const auto [where, added] = kept.try_emplace(text, counted.counter);
      ASSERT_EQ(where->second, counted.counter) << "round " << round << ": " << text.substr(0, 12);
      ASSERT_EQ(std::string_view(counted.text, text.size()), text);
      ASSERT_EQ(round, table.count_one_more(counted.counter)) << text.substr(0, 12);
      ASSERT_EQ(counted.counter, table.find_counted(text));
    }
  }
  EXPECT_EQ(texts.size(), table.size());
  EXPECT_EQ(nullptr, table.find_counted("t3000"));
  EXPECT_TRUE(table.add("t3000"));
  EXPECT_FALSE(table.add("t3000"));
  table.clear();
  EXPECT_EQ(0u, table.size());
  EXPECT_EQ(nullptr, table.find_counted("t1"));
  EXPECT_TRUE(table.add("t1"));
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
      ASSERT_EQ(expected[name]++, counts.meet(name).before) << name.substr(0, 20) << " among " << names << " names";
    }
    EXPECT_FALSE(counts.empty());
    counts.clear();
    EXPECT_TRUE(counts.empty());
  }
  EXPECT_EQ(0, counts.meet("").before);
  EXPECT_EQ(1, counts.meet("").before);
}

// A name keeps one identity at its level, found by meeting it and by
// searching for it, whichever path meets it (recent names, the table, or the
// table alone once the recent names stop being compared); a noted level
// keeps each name's note, which starts at 0, until it is cleared.
TEST(NameCounts, IdentitiesAndNotesLastUntilClear) {
  NameCounts counts(true);
  std::map<std::string, char*> identity;
  for (int i = 0; i < 3000; ++i) {
    // Few names at first, then many new ones, then the first ones again.
    const int which = i < 100 ? i % 3 : i < 2900 ? i : i % 3;
    const std::string name = "n" + std::to_string(which);
    const NameCounts::Met met = counts.meet(name);
    ASSERT_NE(nullptr, met.name);
    const auto [kept, added] = identity.try_emplace(name, met.name);
    ASSERT_EQ(kept->second, met.name) << name;
    ASSERT_EQ(met.name, counts.find(name)) << name;
    if (added) {
      ASSERT_EQ(0u, counts.note_of(met.name)) << name;
      counts.set_note(met.name, static_cast<std::uint32_t>(which) + 7);
    }
    ASSERT_EQ(static_cast<std::uint32_t>(which) + 7, counts.note_of(met.name)) << name;
  }
  EXPECT_EQ(nullptr, counts.find("n3000"));
  EXPECT_EQ(nullptr, counts.find("n"));
  counts.clear();
  EXPECT_EQ(nullptr, counts.find("n1"));
  EXPECT_EQ(0u, counts.note_of(counts.meet("n1").name));
  // A level without notes neither keeps one nor writes over its names.
  NameCounts plain;
  char* const name = plain.meet("n2").name;
  plain.set_note(name, 9);
  EXPECT_EQ(0u, plain.note_of(name));
  EXPECT_EQ(name, plain.find("n2"));
  EXPECT_EQ(1, plain.meet("n2").before);
}

// The last names met are compared before the table is searched: names that
// differ in one byte anywhere, cycles longer than what is kept, runs of new
// names long enough to stop the comparing, and clears in between must all
// count as the table alone would.
TEST(NameCounts, RecentNamesCountAsTheTableDoes) {
  NameCounts counts;
  std::map<std::string, std::int64_t> expected;
  const auto meet = [&](const std::string& name) {
    ASSERT_EQ(expected[name]++, counts.meet(name).before) << name;
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

// The slots of a table take at most seven bytes a text once it is past
// small sizes, at whatever count it stopped growing, so that a document's
// Ids cost their own bytes and a little more.
TEST(TextTable, SlotsTakeAtMostSevenBytesAText) {
  TextTable table(false);
  std::string text = "\"k0000000\"";
  for (int i = 1; i <= 1'000'000; ++i) {
    for (std::size_t digit = 8, value = static_cast<std::size_t>(i); digit >= 2; --digit, value /= 10) {
      text[digit] = static_cast<char>('0' + value % 10);
    }
    ASSERT_TRUE(table.add(text));
    if (i >= 100'000 && i % 997 == 0) {
      ASSERT_LE(table.slot_bytes(), 7 * table.size()) << "after " << i << " texts";
    }
  }
}

// Past a few MiB the slots are mapped afresh at each growth, on large-page
// boundaries: every text is still found there, and nothing else is.
TEST(TextTable, TextsAreFoundOnceTheSlotsAreLarge) {
  TextTable table(false);
  constexpr int count = 1'500'000;
  for (int i = 0; i < count; ++i) ASSERT_TRUE(table.add("v" + std::to_string(i)));
  ASSERT_GT(table.slot_bytes(), std::size_t{8} << 20);
  for (int i = 0; i < count; ++i) ASSERT_FALSE(table.add("v" + std::to_string(i))) << i;
  EXPECT_TRUE(table.add("w0"));
}

#if defined(__linux__)
// The address space this process has mapped, in kB.
long mapped_kb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmSize:")) return std::stol(line.substr(7));
  }
  return -1;
}

// Tables that grow large and go give all their address space back: the
// slots are mapped with room to begin on a boundary, and the room is cut off.
TEST(TextTable, LargeTablesGiveBackTheirAddressSpace) {
  const auto fill_and_drop = [] {
    TextTable table(false);
    for (int i = 0; i < 1'500'000; ++i) table.add("v" + std::to_string(i));
  };
  fill_and_drop();  // the allocator keeps what it keeps
  const long before = mapped_kb();
  for (int round = 0; round < 3; ++round) fill_and_drop();
  EXPECT_LE(mapped_kb(), before + 1024);
}
#endif

// A counted text takes one byte more than an uncounted one, yet counts go
// on past a byte's reach: through the table, through the recent names, and
// from nothing again after a clear.
TEST(NameCounts, CountsPastAByteInOneByteACounter) {
  TextTable table(true);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(0, table.count_meeting("n" + std::to_string(i)));
  // Each record: the counter byte, the length byte, the text.
  EXPECT_EQ(10 * (2 + 2) + 90 * (2 + 3) + 900 * (2 + 4), static_cast<int>(table.record_bytes()));
  for (std::int64_t before = 1; before < 700; ++before) ASSERT_EQ(before, table.count_meeting("n7"));
  EXPECT_EQ(1, table.count_meeting("n8"));

  NameCounts counts;
  for (int round = 0; round < 2; ++round) {
    for (std::int64_t before = 0; before < 600; ++before) {
      ASSERT_EQ(before, counts.meet("hot").before) << "round " << round;
      if (before % 100 == 0) {  // twenty names in a row push "hot" out of the recent ones
        for (int i = 0; i < 20; ++i) ASSERT_EQ(before / 100, counts.meet("cold" + std::to_string(i)).before);
      }
    }
    counts.clear();
  }
}

// Texts whose keyed_hash() under `key` starts every search at slot 0 of a
// table of `slots` slots, and of every smaller one.
std::vector<std::string> crowded_under(const HashKey& key, std::size_t count, std::size_t slots) {
  std::vector<std::string> texts;
  for (std::uint64_t i = 0; texts.size() < count; ++i) {
    std::string text = "\"c" + std::to_string(i) + "\"";
    if (TextTable::home_of(keyed_hash(key, text), slots) == 0) texts.push_back(std::move(text));
  }
  return texts;
}

// Adds every text, then looks each up again; returns the slots looked at
// per lookup.
double probes_per_lookup(TextTable& table, const std::vector<std::string>& texts) {
  for (const std::string& text : texts) EXPECT_TRUE(table.add(text)) << text;
  const std::uint64_t before = table.probes();
  for (const std::string& text : texts) EXPECT_FALSE(table.add(text)) << text;
  return static_cast<double>(table.probes() - before) / static_cast<double>(texts.size());
}

// Texts crowded into one run of slots under one key are spread under any
// other: the searches of a table with a fresh key look at about one slot.
TEST(TextTable, TextsCrowdedUnderOneKeyAreSpreadUnderAnother) {
  const HashKey key_a{0x243f6a8885a308d3ull, 0x13198a2e03707344ull};
  const HashKey key_b{0xa4093822299f31d0ull, 0x082efa98ec4e6c89ull};
  // 1000 texts end in a table of 2048 slots.
  const std::vector<std::string> texts = crowded_under(key_a, 1000, 2048);
  TextTable under_a(false, key_a, true);
  // A step of a search reads the hash bytes of eight slots.
  EXPECT_GT(probes_per_lookup(under_a, texts), 40.0);
  TextTable under_b(false, key_b, true);
  EXPECT_LT(probes_per_lookup(under_b, texts), 2.0);
  TextTable under_process_key(false, process_hash_key(), true);
  EXPECT_LT(probes_per_lookup(under_process_key, texts), 2.0);
}

// Texts of `pairs` pairs of words, each pair as it is or with the top bit of
// its first word and bits 31 and 63 of its second flipped: 2^pairs texts
// that share quick_keyed_hash() under every key.
std::vector<std::string> sharing_quick_hash(int pairs) {
  std::vector<std::string> texts;
  for (std::uint64_t choice = 0; choice < (std::uint64_t{1} << pairs); ++choice) {
    std::string text;
    for (int pair = 0; pair < pairs; ++pair) {
      std::uint64_t first = 0x6867666564636261ull + static_cast<std::uint64_t>(pair);
      std::uint64_t second = 0x706f6e6d6c6b6a69ull;
      if ((choice >> pair) & 1) {
        first ^= std::uint64_t{1} << 63;
        second ^= std::uint64_t{1} << 63 | std::uint64_t{1} << 31;
      }
      char words[16];
      std::memcpy(words, &first, 8);
      std::memcpy(words + 8, &second, 8);
      text.append(words, 16);
    }
    texts.push_back(std::move(text));
  }
  return texts;
}

// A document may hold texts that share the quick hash whatever the key: the
// table notices its searches growing long and moves to the strong hash, so
// that all its searches together stay within a constant per search.
TEST(TextTable, TextsSharingTheQuickHashMoveTheTableToTheStrongHash) {
  const std::vector<std::string> texts = sharing_quick_hash(11);
  const HashKey some_key{0x452821e638d01377ull, 0xbe5466cf34e90c6cull};
  ASSERT_EQ(quick_keyed_hash(some_key, texts.front()), quick_keyed_hash(some_key, texts.back()));

  TextTable table(false);
  EXPECT_FALSE(table.strong());
  const double per_lookup = probes_per_lookup(table, texts);
  EXPECT_TRUE(table.strong());
  EXPECT_LT(per_lookup, 2.0);
  EXPECT_LT(static_cast<double>(table.probes()) / static_cast<double>(2 * texts.size()), 16.0);
  EXPECT_EQ(texts.size(), table.size());

  // Counted texts keep their counts across the move.
  TextTable counted(true);
  for (int round = 0; round < 3; ++round) {
    for (const std::string& text : texts) ASSERT_EQ(round, counted.count_meeting(text));
  }
  EXPECT_TRUE(counted.strong());
}

// A hash prepared before the table moved to the strong hash is not used to
// place the text after it.
TEST(TextTable, HashPreparedBeforeTheMoveStillFindsTheText) {
  const std::vector<std::string> texts = sharing_quick_hash(9);
  for (const bool present : {false, true}) {
    TextTable table(false);
    if (present) table.add("\"k\"");
    const std::uint64_t hash = table.prepare("\"k\"");
    for (const std::string& text : texts) table.add(text);
    ASSERT_TRUE(table.strong());
    EXPECT_EQ(!present, table.add_prepared("\"k\"", hash));
    EXPECT_FALSE(table.add("\"k\""));
    EXPECT_EQ(texts.size() + 1, table.size());
  }
}

}  // namespace
}  // namespace xml2slist
