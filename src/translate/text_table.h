#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "translate/keyed_hash.h"

namespace xml2slist {

// A set of texts for the registries that may grow to millions of entries
// (Id values, member names of one level). The texts are packed one after
// another in chunks that never move, each behind an optional 8-byte counter,
// and found through an open-addressing table of 8-byte entries: no heap node
// per text. An entry keeps enough of its text's hash to be placed again when
// the table grows, so growing never reads the texts.
//
// The texts come from the document, which may be written to pile them up in
// one run of slots. The table starts with quick_keyed_hash() and keeps count
// of the slots its searches look at; once they exceed a small allowance per
// search, it places every entry again by keyed_hash() and keeps that hash.
// The work of all searches so far is thus bounded by a constant times their
// number, whatever the document.
class TextTable {
 public:
  // `strong` starts with keyed_hash() at once.
  explicit TextTable(bool with_counters, const HashKey& key = process_hash_key(), bool strong = false)
      : key_(key), counter_size_(with_counters ? sizeof(std::int64_t) : 0), strong_(strong) {}

  // Adds `text`; false when it is there already.
  bool add(std::string_view text);
  // Starts loading the slot where a search for `text` begins, so that adding
  // it a little later finds the slot in the cache; returns the hash to add
  // it with.
  std::uint64_t prepare(std::string_view text) const {
    const std::uint64_t hash = hash_of(text);
#if defined(__GNUC__)
    if (slot_count_ != 0) __builtin_prefetch(&slots_[hash & hash_mask & (slot_count_ - 1)]);
#endif
    return hash;
  }
  bool add_prepared(std::string_view text, std::uint64_t hash);
  // Counts one more meeting of `text` (a table with counters) and returns how
  // many meetings came before this one.
  std::int64_t count_meeting(std::string_view text);
  // Where `text` is kept in a table with counters, added with a count of 0
  // when it is new: its counter and its stored copy, both in place until
  // clear().
  struct Counted {
    char* counter;
    const char* text;
  };
  Counted find_or_add_counted(std::string_view text);
  // Counts one more meeting on the counter of a Counted and returns how many
  // meetings came before this one.
  static std::int64_t count_one_more(char* counter) {
    std::int64_t before;
    std::memcpy(&before, counter, sizeof before);  // records are not aligned
    const std::int64_t after = before + 1;
    std::memcpy(counter, &after, sizeof after);
    return before;
  }
  std::size_t size() const { return count_; }
  // Slots looked at by all searches so far, the one that ended each search
  // included: what the searches cost, whatever the timing.
  std::uint64_t probes() const { return probes_; }
  // Whether the table places its texts by keyed_hash().
  bool strong() const { return strong_; }
  // Forgets every text, giving back all but a small amount of memory.
  void clear();

 private:
  static constexpr int hash_bits = 29;
  static constexpr std::uint64_t hash_mask = (std::uint64_t{1} << hash_bits) - 1;
  static constexpr int offset_bits = 16;
  static constexpr std::size_t largest_chunk = std::size_t{1} << offset_bits;
  // Positions must fit the entry's bits above the hash.
  static constexpr std::uint64_t max_chunks = std::uint64_t{1} << (64 - hash_bits - offset_bits - 1);

  struct Found {
    char* record;
    bool added;
  };
  // A hash made by keyed_hash() has this bit set, one made by
  // quick_keyed_hash() has it clear, so that a prepared hash made before
  // the table changed its hash is known; only the bits of hash_mask place.
  static constexpr std::uint64_t strong_bit = std::uint64_t{1} << 63;
  // Slots a search may look at on average before the table changes its hash,
  // and the allowance it starts with. Well spread texts take fewer than 8
  // on average even at the fullest, as they are placed from 7/16 to 7/8 full.
  static constexpr std::int64_t probes_allowed_per_search = 32;
  static constexpr std::int64_t probes_allowed_at_start = 1024;
  std::uint64_t hash_of(std::string_view text) const {
    return strong_ ? keyed_hash(key_, text) | strong_bit : quick_keyed_hash(key_, text) & ~strong_bit;
  }
  void place_by_strong_hash();
  Found find_or_add(std::string_view text, std::uint64_t hash);
  char* record_at(std::uint64_t position) const;
  std::string_view text_of(const char* record) const;
  std::uint64_t store(std::string_view text);
  void grow();

  HashKey key_;
  std::size_t counter_size_;
  std::vector<std::unique_ptr<char[]>> chunks_;  // each record: counter, length as a varint, text
  std::size_t chunk_size_ = 0;                   // of the last chunk
  std::size_t chunk_used_ = 0;                   // bytes taken in the last chunk
  // Slot arrays come zero-filled from the system (fresh pages need no
  // clearing pass of their own); 0 is an empty slot, else
  // (position + 1) << hash_bits | low hash bits.
  struct FreeSlots {
    void operator()(std::uint64_t* slots) const { std::free(slots); }
  };
  using SlotArray = std::unique_ptr<std::uint64_t[], FreeSlots>;
  static SlotArray zeroed_slots(std::size_t count);
  SlotArray slots_;
  std::size_t slot_count_ = 0;
  std::size_t count_ = 0;
  bool strong_;
  std::uint64_t probes_ = 0;
  // Slots the searches may still look at: grows by the allowance at each
  // search and shrinks by what the search looked at.
  std::int64_t probe_credit_ = probes_allowed_at_start;
};

}  // namespace xml2slist
