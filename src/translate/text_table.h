#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "translate/keyed_hash.h"

namespace xml2slist {

// A set of texts for the registries that may grow to millions of entries
// (Id values, member names of one level). The texts are packed one after
// another in chunks that never move, each behind an optional 1-byte counter,
// and found through an open-addressing table of five bytes a slot, in groups
// of eight: the groups' hash bytes of their texts (0 marks an empty slot),
// then the texts' positions, so that a search reads a group's eight hash
// bytes at once and seldom a text, and a slot's byte and position share a
// cache line or two. Large tables grow by a quarter at nine tenths full, and
// place every text again from the store, read in order, after giving back
// the old slots: they never hold two tables.
//
// The texts come from the document, which may be written to pile them up in
// one run of slots. The table starts with quick_keyed_hash() and keeps count
// of the slots its searches look at; once they exceed a small allowance per
// search, it places every entry again by keyed_hash() and keeps that hash.
// The work of all searches so far is thus bounded by a constant times their
// number, whatever the document.
class TextTable {
 public:
  // `strong` starts with keyed_hash() at once. A table with counters may
  // keep `note_bytes` more bytes behind each counter for its user, zero
  // when a text is added.
  // `chunk_limit` is for tests, which fill a table's store with less.
  explicit TextTable(bool with_counters, const HashKey& key = process_hash_key(), bool strong = false,
                     std::size_t note_bytes = 0, std::size_t chunk_limit = most_chunks)
      : key_(key), header_size_(with_counters ? 1 + note_bytes : 0), chunk_limit_(chunk_limit), strong_(strong) {}
  // The chunks of records a table's positions reach: 4 GiB of records.
  static constexpr std::size_t most_chunks = std::size_t{1} << 16;

  // Adds `text`; false when it is there already.
  bool add(std::string_view text);
  // Starts loading the slot where a search for `text` begins, so that adding
  // it a little later finds the slot in the cache; returns the hash to add
  // it with.
  std::uint64_t prepare(std::string_view text) const {
    const std::uint64_t hash = hash_of(text);
#if defined(__GNUC__)
    if (group_count_ != 0) {
      const char* const group = group_at(home_of(hash, group_count_));
      __builtin_prefetch(group);
      __builtin_prefetch(group + group_bytes - 1);
    }
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
  // The counter of `text` in a table with counters, null when it is not
  // there; the search counts as any other.
  char* find_counted(std::string_view text);
  // Counts one more meeting on the counter of a Counted and returns how many
  // meetings came before this one. A counter is one byte: most texts are
  // met a few times; one met more often is counted on in wide_counter().
  std::int64_t count_one_more(char* counter) {
    const auto before = static_cast<unsigned char>(*counter);
    if (before < wide) [[likely]] {
      *counter = static_cast<char>(before + 1);
      return before;
    }
    return (*wide_counter(counter))++;
  }
  // The count of a counter that has reached its byte's top, from there on;
  // in place until clear().
  std::int64_t* wide_counter(const char* counter) { return &wide_counts_.try_emplace(counter, wide).first->second; }
  // The value of a counter byte whose count is kept in wide_counter().
  static constexpr unsigned char wide = 255;
  std::size_t size() const { return count_ + (next_ != nullptr ? next_->size() : 0); }
  // What the searches cost so far, the step that ended each search included:
  // a step looks at the hash bytes of a group of eight slots, or at one text
  // whose hash byte matched in vain.
  std::uint64_t probes() const { return probes_ + (next_ != nullptr ? next_->probes() : 0); }
  // Bytes taken by the stored records: counters, lengths and texts.
  std::size_t record_bytes() const {
    std::size_t bytes = next_ != nullptr ? next_->record_bytes() : 0;
    for (const Chunk& chunk : chunks_) bytes += chunk.used;
    return bytes;
  }
  // Bytes taken by the slots, which hold no text.
  std::size_t slot_bytes() const { return group_count_ * group_bytes + (next_ != nullptr ? next_->slot_bytes() : 0); }
  // Whether the table places its texts by keyed_hash().
  bool strong() const { return strong_; }
  // The group a search for `hash` starts at among `groups` groups: the top
  // 32 bits of the hash scaled to the table, so that no power of two is
  // needed.
  static std::size_t home_of(std::uint64_t hash, std::size_t groups) {
    return static_cast<std::size_t>(((hash >> 32) * groups) >> 32);
  }
  // Forgets every text, giving back all but a small amount of memory.
  void clear();

 private:
  static constexpr int offset_bits = 16;
  static constexpr std::size_t largest_chunk = std::size_t{1} << offset_bits;
  // Positions are 32 bits: a chunk number, then an offset in it.
  static_assert(most_chunks == std::size_t{1} << (32 - offset_bits));
  // A group: eight hash bytes, then eight positions of four bytes.
  static constexpr std::size_t group_slots = 8;
  static constexpr std::size_t group_bytes = group_slots * (1 + sizeof(std::uint32_t));

  struct Found {
    char* record;
    bool added;
  };
  // A hash made by keyed_hash() has this bit set, one made by
  // quick_keyed_hash() has it clear, so that a prepared hash made before
  // the table changed its hash is known. It is neither a bit of the home
  // slot nor of the hash byte.
  static constexpr std::uint64_t strong_bit = std::uint64_t{1} << 31;
  // Steps a search may take on average before the table changes its hash,
  // and the allowance it starts with. Well spread texts take one or two,
  // as the table is kept from 72% to 90% full.
  static constexpr std::int64_t probes_allowed_per_search = 32;
  static constexpr std::int64_t probes_allowed_at_start = 1024;
  [[gnu::always_inline]] std::uint64_t hash_of(std::string_view text) const {
    return strong_ ? keyed_hash(key_, text) | strong_bit : quick_keyed_hash(key_, text) & ~strong_bit;
  }
  // The hash byte of a slot; never 0, which marks an empty slot.
  static std::uint8_t tag_of(std::uint64_t hash) {
    const auto tag = static_cast<std::uint8_t>(hash);
    return tag == 0 ? 1 : tag;
  }
  template <bool Add>
  Found search(std::string_view text, std::uint64_t hash);
  Found find_or_add(std::string_view text, std::uint64_t hash);
  template <bool Add>
  [[gnu::noinline, gnu::cold]] Found pass_on(std::string_view text);
  char* record_at(std::uint32_t position) const;
  std::string_view text_of(const char* record) const;
  // Stores `text` and sets its position; false when the store is full.
  bool store(std::string_view text, std::uint32_t& position);
  // Gives back the slots, then places every stored text in `groups` new
  // groups.
  void place_all(std::size_t groups);
  char* group_at(std::size_t group) const { return groups_.get() + group * group_bytes; }

  // An array of zero-filled memory: large ones are mapped from the system
  // and given back to it whole when freed.
  class ZeroedArray {
   public:
    ZeroedArray() = default;
    explicit ZeroedArray(std::size_t bytes);
    ZeroedArray(ZeroedArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}
    ZeroedArray& operator=(ZeroedArray&& other) noexcept {
      if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
      }
      return *this;
    }
    ~ZeroedArray() { release(); }
    // Makes it `bytes` long, all zero; what it held is lost.
    void resize_zeroed(std::size_t bytes);
    void release();
    char* get() const { return static_cast<char*>(data_); }

   private:
    void* data_ = nullptr;
    std::size_t bytes_ = 0;
  };
  struct Chunk {
    std::unique_ptr<char[]> bytes;
    std::size_t used;  // each record: counter, note, length as a varint, text
  };

  HashKey key_;
  std::size_t header_size_;  // the counter and the note before each record's text
  std::size_t chunk_limit_;
  std::unique_ptr<TextTable> next_;  // takes the texts once this table's store is full
  std::vector<Chunk> chunks_;
  std::unordered_map<const char*, std::int64_t> wide_counts_;
  std::size_t chunk_size_ = 0;  // of the last chunk
  ZeroedArray groups_;
  std::size_t group_count_ = 0;
  std::size_t count_ = 0;
  bool strong_;
  std::uint64_t probes_ = 0;
  // Steps the searches may still take: grows by the allowance at each
  // search and shrinks by what the search took.
  std::int64_t probe_credit_ = probes_allowed_at_start;
};

}  // namespace xml2slist
