#include "translate/text_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace xml2slist {

namespace {
constexpr std::size_t first_chunk = 256;
constexpr std::size_t first_table = 2;          // groups
constexpr std::size_t largest_kept_table = 8;   // groups
// Arrays of this many bytes and more are mapped: the allocator might keep
// them after they are freed, and the table frees them as it grows.
constexpr std::size_t smallest_mapped = std::size_t{1} << 14;
// Arrays of several large pages are mapped on their boundaries and asked to
// be backed by them, where the system offers this: a table of millions of
// texts is read at random, and with small pages nearly every search would
// also miss the processor's cache of page addresses.
#if defined(__linux__) && defined(MADV_HUGEPAGE)
constexpr bool large_pages = true;
void advise_large_pages(void* data, std::size_t bytes) {
  ::madvise(data, bytes, MADV_HUGEPAGE);  // a hint: without large pages all still works
}
#else
constexpr bool large_pages = false;
void advise_large_pages(void*, std::size_t) {}
#endif
constexpr std::size_t large_page = std::size_t{1} << 21;
constexpr std::size_t smallest_in_large_pages = large_pages ? 2 * large_page : ~std::size_t{0};
constexpr std::uint64_t bytes_of_ones = 0x0101010101010101ull;
constexpr std::uint64_t low_seven_bits = 0x7F7F7F7F7F7F7F7Full;

// Small tables double, as their memory hardly counts and placing all texts
// again is the cost of growing; large ones grow by a quarter. The last
// doubling takes about 4 bytes a text more than a quarter would, 240 KB.
constexpr std::size_t largest_doubled_table = std::size_t{1} << 14;  // groups
constexpr std::size_t next_table_size(std::size_t groups) {
  if (groups == 0) return first_table;
  return groups < largest_doubled_table ? groups * 2 : groups + groups / 4;
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

// Fresh zeroed pages, `bytes` of them; throws std::bad_alloc when refused.
void* map_pages(std::size_t bytes) {
  void* const mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  return mapped;
}

// The same, beginning on a large-page boundary and backed by large pages
// where the system grants them: one large page more is mapped, then the
// ends cut off.
void* map_large_pages(std::size_t bytes) {
  const auto start = reinterpret_cast<std::uintptr_t>(map_pages(bytes + large_page));
  const std::uintptr_t aligned = (start + large_page - 1) & ~(std::uintptr_t{large_page} - 1);
  // The pages after the array (at least one) are given back from the end of its last page.
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t end = (aligned + bytes + page - 1) & ~(page - 1);
  if (aligned != start) ::munmap(reinterpret_cast<void*>(start), aligned - start);
  ::munmap(reinterpret_cast<void*>(end), start + large_page - aligned);
  advise_large_pages(reinterpret_cast<void*>(aligned), bytes);
  return reinterpret_cast<void*>(aligned);
}
}  // namespace

TextTable::ZeroedArray::ZeroedArray(std::size_t bytes) : bytes_(bytes) {
  if (bytes >= smallest_in_large_pages) {
    data_ = map_large_pages(bytes);
  } else if (bytes >= smallest_mapped) {
    data_ = map_pages(bytes);
  } else {
    data_ = std::calloc(bytes, 1);
    if (data_ == nullptr) throw std::bad_alloc();
  }
}

void TextTable::ZeroedArray::resize_zeroed(std::size_t bytes) {
#if defined(__linux__)
  // The pages held are remapped, not given back and faulted in again one
  // by one: only the added ones are new, and clearing the others in one
  // pass costs far less than a fault each. An array in large pages is
  // mapped afresh instead, on their boundaries: a large page is one fault.
  if (bytes_ >= smallest_mapped && bytes >= smallest_mapped && bytes < smallest_in_large_pages) {
    void* const moved = ::mremap(data_, bytes_, bytes, MREMAP_MAYMOVE);
    if (moved != MAP_FAILED) {
      std::memset(moved, 0, std::min(bytes_, bytes));
      data_ = moved;
      bytes_ = bytes;
      return;
    }
  }
#endif
  release();
  *this = ZeroedArray(bytes);
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
  const char* p = record + header_size_;
  if (static_cast<unsigned char>(*p) < 0x80) [[likely]] return {p + 1, static_cast<unsigned char>(*p)};
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
bool TextTable::store(std::string_view text, std::uint32_t& position) {
  const std::size_t needed = header_size_ + varint_size(text.size()) + text.size();
  if (chunks_.empty() || chunks_.back().used + needed > chunk_size_) {
    if (chunks_.size() + 1 > chunk_limit_) return false;
    const std::size_t next = chunks_.empty() ? first_chunk : std::min(chunk_size_ * 2, largest_chunk);
    const std::size_t size = std::max(next, needed);
    chunks_.push_back(Chunk{std::make_unique_for_overwrite<char[]>(size), 0});
    chunk_size_ = size;
  }
  Chunk& chunk = chunks_.back();
  position = static_cast<std::uint32_t>(((chunks_.size() - 1) << offset_bits) | chunk.used);
  char* p = chunk.bytes.get() + chunk.used;
  if (header_size_ == 1) {
    *p++ = 0;
  } else if (header_size_ != 0) {
    std::memset(p, 0, header_size_);
    p += header_size_;
  }
  for (std::size_t length = text.size();; length >>= 7) {
    *p++ = static_cast<char>(length < 0x80 ? length : (length & 0x7F) | 0x80);
    if (length < 0x80) break;
  }
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  chunk.used += needed;
  return true;
}

namespace {
std::uint32_t position_in(const char* group, std::size_t slot) {
  std::uint32_t position;
  std::memcpy(&position, group + 8 + 4 * slot, sizeof position);
  return position;
}
std::uint64_t tags_of(const char* group) { return keyed_hash_detail::load_le64(group); }
std::size_t first_slot(std::uint64_t marks) { return static_cast<std::size_t>(__builtin_ctzll(marks)) / 8; }
}  // namespace

// The stored texts are read in the order they were added, each hashed again
// by the table's hash of the moment: nothing else is kept to place them by.
void TextTable::place_all(std::size_t groups) {
  group_count_ = 0;
  groups_.resize_zeroed(groups * group_bytes);
  group_count_ = groups;
  // The texts are taken in batches: all of a batch hashed, their groups
  // loaded meanwhile, then all placed, so that the loads overlap.
  constexpr std::size_t batch = 16;
  std::uint64_t hashes[batch];
  std::uint32_t positions[batch];
  std::size_t waiting = 0;
  const auto place_waiting = [&] {
    for (std::size_t k = 0; k < waiting; ++k) {
      std::size_t g = home_of(hashes[k], groups);
      std::uint64_t empty;
      while ((empty = zero_bytes(tags_of(group_at(g)))) == 0) g = g + 1 == groups ? 0 : g + 1;
      char* const group = group_at(g);
      const std::size_t slot = first_slot(empty);
      group[slot] = static_cast<char>(tag_of(hashes[k]));
      std::memcpy(group + 8 + 4 * slot, &positions[k], sizeof positions[k]);
    }
    waiting = 0;
  };
  for (std::size_t c = 0; c < chunks_.size(); ++c) {
    const char* const base = chunks_[c].bytes.get();
    const char* const end = base + chunks_[c].used;
    for (const char* record = base; record != end;) {
      const std::string_view text = text_of(record);
      const std::uint64_t hash = hash_of(text);
      hashes[waiting] = hash;
      positions[waiting] = static_cast<std::uint32_t>((c << offset_bits) | static_cast<std::size_t>(record - base));
#if defined(__GNUC__)
      const char* const group = group_at(home_of(hash, groups));
      __builtin_prefetch(group, 1);
      __builtin_prefetch(group + group_bytes - 1, 1);
#endif
      if (++waiting == batch) place_waiting();
      record = text.data() + text.size();
    }
  }
  place_waiting();
}

template <bool Add>
inline TextTable::Found TextTable::search(std::string_view text, std::uint64_t hash) {
  // At most nine tenths full, and past small sizes a quarter larger at each
  // growth: the slots take at most 5 * 1.25 / 0.9 < 7 bytes a text. A group
  // with an empty slot ends a search, as texts are never taken out.
  if constexpr (Add) {
    if ((count_ + 1) * 10 > group_count_ * group_slots * 9) place_all(next_table_size(group_count_));
  } else if (count_ == 0) {
    return {nullptr, false};
  }
  const std::uint8_t tag = tag_of(hash);
  const std::uint64_t tag_bytes = bytes_of_ones * tag;
  const std::size_t groups = group_count_;
  std::size_t g = home_of(hash, groups);
  std::size_t steps = 0;
  std::size_t compared = 0;  // bytes of the text compared with kept ones
  Found found{nullptr, false};
  char* group;
  std::uint64_t empty;
  for (;; g = g + 1 == groups ? 0 : g + 1) {
    ++steps;
    group = group_at(g);
    const std::uint64_t tags = tags_of(group);
    empty = zero_bytes(tags);
    for (std::uint64_t matches = zero_bytes(tags ^ tag_bytes); matches != 0; matches &= matches - 1) {
      char* const record = record_at(position_in(group, first_slot(matches)));
      compared += text.size();
      if (text_of(record) == text) {
        found.record = record;
        break;
      }
      ++steps;  // a text read in vain
    }
    if (found.record != nullptr || empty != 0) break;
  }
  probes_ += steps;
  // A long text compared with many whose hash bytes are the same costs as
  // much as a search that takes more steps.
  probe_credit_ += probes_allowed_per_search - static_cast<std::int64_t>(steps + compared / 16);
  // Once the store is full, a text that does not fit is in the next table,
  // or goes there: the room left only shrinks.
  std::uint32_t position;
  if (found.record == nullptr && (Add ? !store(text, position) : next_ != nullptr)) [[unlikely]] {
    found = pass_on<Add>(text);
  } else if (Add && found.record == nullptr) {
    const std::size_t slot = first_slot(empty);
    group[slot] = static_cast<char>(tag);
    std::memcpy(group + 8 + 4 * slot, &position, sizeof position);
    ++count_;
    found = {record_at(position), true};
  }
  if (probe_credit_ < 0) [[unlikely]] {
    // Searches this long mean texts that share quick hashes; with the strong
    // hash nothing is left to change, and a fresh allowance keeps this rare.
    if (!strong_) {
      strong_ = true;
      place_all(group_count_);
    }
    probe_credit_ = probes_allowed_at_start;
  }
  return found;
}

// The positions of a table's texts reach 4 GiB of records at most. Once its
// store is full, the texts it holds are still found here, and those that do
// not fit go to a next table, as large, and so on; no text moves.
template <bool Add>
TextTable::Found TextTable::pass_on(std::string_view text) {
  if (next_ == nullptr) {
    if (!Add) return {nullptr, false};
    next_ = std::make_unique<TextTable>(header_size_ != 0, key_, strong_, header_size_ > 1 ? header_size_ - 1 : 0,
                                        chunk_limit_);
  }
  return next_->search<Add>(text, next_->hash_of(text));
}

inline TextTable::Found TextTable::find_or_add(std::string_view text, std::uint64_t hash) {
  return search<true>(text, hash);
}

bool TextTable::add(std::string_view text) { return find_or_add(text, hash_of(text)).added; }

char* TextTable::find_counted(std::string_view text) { return search<false>(text, hash_of(text)).record; }

bool TextTable::add_prepared(std::string_view text, std::uint64_t hash) {
  if (((hash & strong_bit) != 0) != strong_) hash = hash_of(text);  // the table changed its hash since
  return find_or_add(text, hash).added;
}

TextTable::Counted TextTable::find_or_add_counted(std::string_view text) {
  char* const record = find_or_add(text, hash_of(text)).record;
  return {record, record + header_size_ + varint_size(text.size())};
}

std::int64_t TextTable::count_meeting(std::string_view text) {
  return count_one_more(find_or_add(text, hash_of(text)).record);
}

void TextTable::clear() {
  if (count_ == 0) return;
  if (group_count_ > largest_kept_table) {
    groups_ = ZeroedArray();
    group_count_ = 0;
  } else {
    const std::uint64_t none = 0;
    for (std::size_t g = 0; g < group_count_; ++g) std::memcpy(group_at(g), &none, sizeof none);
  }
  // A table that stayed small keeps its one chunk: the tables of a nested
  // level are cleared each time their parent ends, often thousands of times.
  if (chunks_.size() == 1 && chunk_size_ == first_chunk) {
    chunks_.back().used = 0;
  } else {
    chunks_.clear();
    chunk_size_ = 0;
  }
  if (!wide_counts_.empty()) wide_counts_.clear();
  count_ = 0;
  next_.reset();
}

}  // namespace xml2slist
