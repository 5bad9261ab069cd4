#include "translate/text_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>

namespace xml2slist {

namespace {
constexpr std::size_t first_chunk = 256;
constexpr std::size_t first_table = 16;
constexpr std::size_t largest_kept_table = 64;
// Arrays of this many bytes and more are mapped: the allocator might keep
// them after they are freed, and the table frees them as it grows.
constexpr std::size_t smallest_mapped = std::size_t{1} << 14;
constexpr std::uint64_t bytes_of_ones = 0x0101010101010101ull;
constexpr std::uint64_t low_seven_bits = 0x7F7F7F7F7F7F7F7Full;

// Small tables double, as their memory hardly counts and placing all texts
// again is the cost of growing; large ones grow by a quarter.
constexpr std::size_t largest_doubled_table = std::size_t{1} << 16;
constexpr std::size_t next_table_size(std::size_t slots) {
  if (slots == 0) return first_table;
  return slots < largest_doubled_table ? slots * 2 : slots + slots / 4;
}

constexpr std::size_t varint_size(std::size_t value) {
  std::size_t bytes = 1;
  for (; value >= 0x80; value >>= 7) ++bytes;
  return bytes;
}

// The top bit of each byte of `word` that is 0, and no other bit.
constexpr std::uint64_t zero_bytes(std::uint64_t word) {
  return ~(((word & low_seven_bits) + low_seven_bits) | word | low_seven_bits);
}
}  // namespace

TextTable::ZeroedArray::ZeroedArray(std::size_t bytes) : bytes_(bytes) {
  if (bytes >= smallest_mapped) {
    void* mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    data_ = mapped;
  } else {
    data_ = std::calloc(bytes, 1);
    if (data_ == nullptr) throw std::bad_alloc();
  }
}

void TextTable::ZeroedArray::release() {
  if (data_ == nullptr) return;
  if (bytes_ >= smallest_mapped) {
    ::munmap(data_, bytes_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  bytes_ = 0;
}

char* TextTable::record_at(std::uint32_t position) const {
  return chunks_[position >> offset_bits].bytes.get() + (position & (largest_chunk - 1));
}

std::string_view TextTable::text_of(const char* record) const {
  const char* p = record + counter_size_;
  std::size_t length = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(*p++);
    length |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if (byte < 0x80) break;
  }
  return {p, length};
}

// Appends a record for `text` and returns its position: the chunk number,
// then the offset within it. Chunks double up to their largest size; a
// record too long for one gets a chunk of its own.
std::uint32_t TextTable::store(std::string_view text) {
  const std::size_t needed = counter_size_ + varint_size(text.size()) + text.size();
  if (chunks_.empty() || chunks_.back().used + needed > chunk_size_) {
    if (chunks_.size() + 1 > max_chunks) throw std::bad_alloc();
    const std::size_t next = chunks_.empty() ? first_chunk : std::min(chunk_size_ * 2, largest_chunk);
    const std::size_t size = std::max(next, needed);
    chunks_.push_back(Chunk{std::make_unique_for_overwrite<char[]>(size), 0});
    chunk_size_ = size;
  }
  Chunk& chunk = chunks_.back();
  const auto position = static_cast<std::uint32_t>(((chunks_.size() - 1) << offset_bits) | chunk.used);
  char* p = chunk.bytes.get() + chunk.used;
  if (counter_size_ != 0) {
    const std::int64_t zero = 0;
    std::memcpy(p, &zero, sizeof zero);
    p += sizeof zero;
  }
  for (std::size_t length = text.size();; length >>= 7) {
    *p++ = static_cast<char>(length < 0x80 ? length : (length & 0x7F) | 0x80);
    if (length < 0x80) break;
  }
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  chunk.used += needed;
  return position;
}

// The stored texts are read in the order they were added, each hashed again
// by the table's hash of the moment: nothing else is kept to place them by.
void TextTable::place_all(std::size_t slots) {
  tags_ = ZeroedArray();
  positions_array_ = ZeroedArray();
  positions_ = nullptr;
  slot_count_ = 0;
  tags_ = ZeroedArray(slots);
  positions_array_ = ZeroedArray(slots * sizeof(std::uint32_t));
  positions_ = reinterpret_cast<std::uint32_t*>(positions_array_.get());
  slot_count_ = slots;
  auto* const tags = reinterpret_cast<std::uint8_t*>(tags_.get());
  // Each text is hashed some places ahead of being placed, its slots loaded
  // meanwhile, so that the loads of several texts overlap.
  constexpr std::size_t ahead = 8;
  struct Pending {
    std::uint64_t hash;
    std::uint32_t position;
  };
  Pending pending[ahead];
  std::size_t hashed = 0;  // texts hashed so far; the last `ahead` wait
  const auto place = [&](const Pending& entry) {
    std::size_t i = home_of(entry.hash, slots);
    while (tags[i] != 0) i = i + 1 == slots ? 0 : i + 1;
    tags[i] = tag_of(entry.hash);
    positions_[i] = entry.position;
  };
  for (std::size_t c = 0; c < chunks_.size(); ++c) {
    const char* const base = chunks_[c].bytes.get();
    for (std::size_t at = 0; at < chunks_[c].used;) {
      const std::string_view text = text_of(base + at);
      Pending& slot = pending[hashed % ahead];
      if (hashed >= ahead) place(slot);
      slot.hash = hash_of(text);
      slot.position = static_cast<std::uint32_t>((c << offset_bits) | at);
#if defined(__GNUC__)
      const std::size_t home = home_of(slot.hash, slots);
      __builtin_prefetch(tags + home, 1);
      __builtin_prefetch(positions_ + home, 1);
#endif
      ++hashed;
      at = static_cast<std::size_t>(text.data() + text.size() - base);
    }
  }
  for (std::size_t k = hashed > ahead ? hashed - ahead : 0; k < hashed; ++k) place(pending[k % ahead]);
}

inline TextTable::Found TextTable::find_or_add(std::string_view text, std::uint64_t hash) {
  // At most seven eighths full, and past small sizes a quarter larger at
  // each growth: the slots take at most 5 * 1.25 * 8 / 7 bytes a text. The longer searches
  // this allows read eight hash bytes at a time and seldom a text.
  if ((count_ + 1) * 8 > slot_count_ * 7) place_all(next_table_size(slot_count_));
  const std::uint8_t tag = tag_of(hash);
  const std::uint64_t tag_bytes = bytes_of_ones * tag;
  const std::size_t slots = slot_count_;
  auto* const tags = reinterpret_cast<std::uint8_t*>(tags_.get());
  std::size_t i = home_of(hash, slots);
  std::size_t steps = 0;
  std::size_t compared = 0;  // bytes of the text compared with kept ones
  // A text read in vain is one more step; the one found ends the search.
  const auto same = [&](std::size_t slot) {
    compared += text.size();
    if (text_of(record_at(positions_[slot])) == text) return true;
    ++steps;
    return false;
  };
  Found found{nullptr, false};
  std::size_t slot;  // where the text is, or where it goes
  for (;;) {
    ++steps;
    if (i + 8 <= slots) {
      const std::uint64_t word = keyed_hash_detail::load_le64(reinterpret_cast<const char*>(tags + i));
      const std::uint64_t empty = zero_bytes(word);
      std::uint64_t matches = zero_bytes(word ^ tag_bytes);
      // Only the slots before the first empty one belong to the search.
      if (empty != 0) matches &= (empty & (~empty + 1)) - 1;
      for (; matches != 0; matches &= matches - 1) {
        const std::size_t candidate = i + static_cast<std::size_t>(__builtin_ctzll(matches)) / 8;
        if (same(candidate)) {
          found.record = record_at(positions_[candidate]);
          break;
        }
      }
      if (found.record) {
        slot = 0;
        break;
      }
      if (empty != 0) {
        slot = i + static_cast<std::size_t>(__builtin_ctzll(empty)) / 8;
        break;
      }
      i += 8;
      if (i == slots) i = 0;
    } else {
      // The last few slots, one at a time, then on from the first.
      if (tags[i] == 0) {
        slot = i;
        break;
      }
      if (tags[i] == tag && same(i)) {
        found.record = record_at(positions_[i]);
        slot = 0;
        break;
      }
      i = i + 1 == slots ? 0 : i + 1;
    }
  }
  probes_ += steps;
  // A long text compared with many whose hash bytes are the same costs as
  // much as a search that takes more steps.
  probe_credit_ += probes_allowed_per_search - static_cast<std::int64_t>(steps + compared / 16);
  if (found.record == nullptr) {
    const std::uint32_t position = store(text);
    tags[slot] = tag;
    positions_[slot] = position;
    ++count_;
    found = {record_at(position), true};
  }
  if (probe_credit_ < 0) [[unlikely]] {
    // Searches this long mean texts that share quick hashes; with the strong
    // hash nothing is left to change, and a fresh allowance keeps this rare.
    if (!strong_) {
      strong_ = true;
      place_all(slot_count_);
    }
    probe_credit_ = probes_allowed_at_start;
  }
  return found;
}

bool TextTable::add(std::string_view text) { return find_or_add(text, hash_of(text)).added; }

bool TextTable::add_prepared(std::string_view text, std::uint64_t hash) {
  if (((hash & strong_bit) != 0) != strong_) hash = hash_of(text);  // the table changed its hash since
  return find_or_add(text, hash).added;
}

TextTable::Counted TextTable::find_or_add_counted(std::string_view text) {
  char* const record = find_or_add(text, hash_of(text)).record;
  return {record, record + counter_size_ + varint_size(text.size())};
}

std::int64_t TextTable::count_meeting(std::string_view text) {
  return count_one_more(find_or_add(text, hash_of(text)).record);
}

void TextTable::clear() {
  if (count_ == 0) return;
  if (slot_count_ > largest_kept_table) {
    tags_ = ZeroedArray();
    positions_array_ = ZeroedArray();
    positions_ = nullptr;
    slot_count_ = 0;
  } else {
    std::fill_n(tags_.get(), slot_count_, 0);
  }
  // A table that stayed small keeps its one chunk: the tables of a nested
  // level are cleared each time their parent ends, often thousands of times.
  if (chunks_.size() == 1 && chunk_size_ == first_chunk) {
    chunks_.back().used = 0;
  } else {
    chunks_.clear();
    chunk_size_ = 0;
  }
  count_ = 0;
}

}  // namespace xml2slist
