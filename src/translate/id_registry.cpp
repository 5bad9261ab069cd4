#include "translate/id_registry.h"

#include <cstring>
#include <new>

#include "translate/text_hash.h"

namespace xml2slist {

namespace {
constexpr std::size_t varint_size(std::size_t value) {
  std::size_t bytes = 1;
  for (; value >= 0x80; value >>= 7) ++bytes;
  return bytes;
}
}  // namespace

std::string_view IdRegistry::text_at(std::uint64_t position) const {
  const char* p = chunks_[position >> chunk_bits].get() + (position & (chunk_size - 1));
  std::size_t length = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(*p++);
    length |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if (byte < 0x80) break;
  }
  return {p, length};
}

// Appends `id` to the chunks and returns its position: the chunk number, then
// the offset within it. A text too long for a chunk gets one of its own.
std::uint64_t IdRegistry::store(std::string_view id) {
  const std::size_t needed = varint_size(id.size()) + id.size();
  if (chunk_used_ + needed > chunk_size) {
    if (chunks_.size() + 1 >= max_chunks) throw std::bad_alloc();
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(needed > chunk_size ? needed : chunk_size));
    chunk_used_ = 0;
  }
  const std::uint64_t position = (std::uint64_t{chunks_.size() - 1} << chunk_bits) | chunk_used_;
  char* p = chunks_.back().get() + chunk_used_;
  for (std::size_t length = id.size();; length >>= 7) {
    *p++ = static_cast<char>(length < 0x80 ? length : (length & 0x7F) | 0x80);
    if (length < 0x80) break;
  }
  if (!id.empty()) std::memcpy(p, id.data(), id.size());
  // A text in a chunk of its own fills it.
  chunk_used_ = needed > chunk_size ? chunk_size : chunk_used_ + needed;
  return position;
}

void IdRegistry::grow() {
  std::vector<std::uint64_t> old(slots_.size() < 16 ? 16 : slots_.size() * 2, 0);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const std::uint64_t entry : old) {
    if (entry == 0) continue;
    std::size_t i = entry & hash_mask & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = entry;
  }
}

bool IdRegistry::insert(std::string_view id) {
  if ((count_ + 1) * 4 > slots_.size() * 3) grow();  // at most three quarters full
  const std::uint64_t hashed = hash_text(id) & hash_mask;
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hashed & mask;
  for (; slots_[i] != 0; i = (i + 1) & mask) {
    if ((slots_[i] & hash_mask) == hashed && text_at((slots_[i] >> hash_bits) - 1) == id) return false;
  }
  slots_[i] = ((store(id) + 1) << hash_bits) | hashed;
  ++count_;
  return true;
}

}  // namespace xml2slist
