#include "translate/text_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace xml2slist {

namespace {
constexpr std::size_t first_chunk = 256;
constexpr std::size_t first_table = 16;
constexpr std::size_t largest_kept_table = 64;
// Old slot arrays of this many slots and more are given back in steps while
// the table grows.
constexpr std::size_t smallest_shrunk_table = std::size_t{1} << 16;
constexpr std::size_t shrink_step = std::size_t{1} << 14;

constexpr std::size_t varint_size(std::size_t value) {
  std::size_t bytes = 1;
  for (; value >= 0x80; value >>= 7) ++bytes;
  return bytes;
}
}  // namespace

char* TextTable::record_at(std::uint64_t position) const {
  return chunks_[position >> offset_bits].get() + (position & (largest_chunk - 1));
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
std::uint64_t TextTable::store(std::string_view text) {
  const std::size_t needed = counter_size_ + varint_size(text.size()) + text.size();
  if (chunk_used_ + needed > chunk_size_) {
    if (chunks_.size() + 1 >= max_chunks) throw std::bad_alloc();
    const std::size_t next = chunks_.empty() ? first_chunk : std::min(chunk_size_ * 2, largest_chunk);
    const std::size_t size = std::max(next, needed);
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    chunk_size_ = size;
    chunk_used_ = 0;
  }
  const std::uint64_t position = (std::uint64_t{chunks_.size() - 1} << offset_bits) | chunk_used_;
  char* p = chunks_.back().get() + chunk_used_;
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
  chunk_used_ += needed;
  return position;
}

TextTable::SlotArray TextTable::zeroed_slots(std::size_t count) {
  SlotArray slots(static_cast<std::uint64_t*>(std::calloc(count, sizeof(std::uint64_t))));
  if (!slots) throw std::bad_alloc();
  return slots;
}

// Entries are moved from the last old slot down to the first. An entry's new
// slot lies near its old one or near that plus the old count, so the new
// array fills in two streams, and the old one is given back from its end a
// piece at a time: a large table grows to twice its size without holding
// three times it.
void TextTable::grow() {
  const std::size_t old_count = slot_count_;
  const std::size_t new_count = old_count == 0 ? first_table : old_count * 2;
  SlotArray old = std::exchange(slots_, zeroed_slots(new_count));
  slot_count_ = new_count;
  const std::size_t mask = new_count - 1;
  std::size_t held = old_count;  // old slots not given back yet
  for (std::size_t k = old_count; k-- > 0;) {
    const std::uint64_t entry = old[k];
    if (entry != 0) {
      std::size_t i = entry & hash_mask & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = entry;
    }
    if (old_count >= smallest_shrunk_table && held - k >= shrink_step && k != 0) {
      // Shrinking in place never fails in practice; if it does, the old
      // array stays whole until the end.
      if (void* kept = std::realloc(old.get(), k * sizeof(std::uint64_t))) {
        (void)old.release();
        old.reset(static_cast<std::uint64_t*>(kept));
        held = k;
      }
    }
  }
}

// Places every entry again by keyed_hash() of its text, in a slot array of
// the same size.
void TextTable::place_by_strong_hash() {
  SlotArray placed = zeroed_slots(slot_count_);
  const std::size_t mask = slot_count_ - 1;
  for (std::size_t k = 0; k < slot_count_; ++k) {
    const std::uint64_t entry = slots_[k];
    if (entry == 0) continue;
    const std::string_view text = text_of(record_at((entry >> hash_bits) - 1));
    const std::uint64_t hashed = keyed_hash(key_, text) & hash_mask;
    std::size_t i = hashed & mask;
    while (placed[i] != 0) i = (i + 1) & mask;
    placed[i] = (entry & ~hash_mask) | hashed;
  }
  slots_ = std::move(placed);
  strong_ = true;
}

inline TextTable::Found TextTable::find_or_add(std::string_view text, std::uint64_t hash) {
  // At most seven eighths full. The longer searches this allows compare the
  // hash bits kept in each entry and seldom read a text; in return a table
  // whose count lies between three quarters and seven eighths of a power of
  // two keeps half the slots, which also keeps more of it in the cache.
  if ((count_ + 1) * 8 > slot_count_ * 7) grow();
  const std::uint64_t hashed = hash & hash_mask;
  const std::size_t mask = slot_count_ - 1;
  const std::size_t start = hashed & mask;
  std::size_t i = start;
  std::size_t compared = 0;  // bytes of the text compared with kept ones
  Found found{nullptr, false};
  for (; slots_[i] != 0; i = (i + 1) & mask) {
    if ((slots_[i] & hash_mask) != hashed) continue;
    char* record = record_at((slots_[i] >> hash_bits) - 1);
    compared += text.size();
    if (text_of(record) == text) {
      found.record = record;
      break;
    }
  }
  const std::size_t looked_at = ((i - start) & mask) + 1;
  probes_ += looked_at;
  // A long text compared with many whose hash bits are the same costs as
  // much as a search that looks at more slots.
  probe_credit_ += probes_allowed_per_search - static_cast<std::int64_t>(looked_at + compared / 16);
  if (found.record == nullptr) {
    const std::uint64_t position = store(text);
    slots_[i] = ((position + 1) << hash_bits) | hashed;
    ++count_;
    found = {record_at(position), true};
  }
  if (probe_credit_ < 0) [[unlikely]] {
    // Searches this long mean texts that share quick hashes; with the strong
    // hash nothing is left to change, and a fresh allowance keeps this rare.
    if (!strong_) place_by_strong_hash();
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
    slots_.reset();
    slot_count_ = 0;
  } else {
    std::fill_n(slots_.get(), slot_count_, 0);
  }
  // A table that stayed small keeps its one chunk: the tables of a nested
  // level are cleared each time their parent ends, often thousands of times.
  if (chunks_.size() == 1 && chunk_size_ == first_chunk) {
    chunk_used_ = 0;
  } else {
    chunks_.clear();
    chunk_size_ = chunk_used_ = 0;
  }
  count_ = 0;
}

}  // namespace xml2slist
