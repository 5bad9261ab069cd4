#include "translate/id_registry.h"

#include <functional>

namespace xml2slist {

std::size_t IdRegistry::hash(std::string_view text) { return std::hash<std::string_view>{}(text); }

std::string_view IdRegistry::text_at(std::uint64_t offset) const {
  std::size_t length = 0;
  int shift = 0;
  for (;;) {
    const auto byte = static_cast<unsigned char>(arena_[offset++]);
    length |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if (byte < 0x80) break;
    shift += 7;
  }
  return std::string_view(arena_).substr(offset, length);
}

// The table's index comes from the hash's high bits, the tag from its low bits.
void IdRegistry::place(std::uint64_t entry, std::size_t hashed) {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = (hashed >> tag_bits) & mask;; i = (i + 1) & mask) {
    if (slots_[i] == 0) {
      slots_[i] = entry;
      return;
    }
  }
}

void IdRegistry::grow() {
  std::vector<std::uint64_t> old(slots_.size() < 16 ? 16 : slots_.size() * 2, 0);
  old.swap(slots_);
  for (const std::uint64_t entry : old) {
    if (entry != 0) place(entry, hash(text_at((entry >> tag_bits) - 1)));
  }
}

bool IdRegistry::insert(std::string_view id) {
  if ((count_ + 1) * 4 > slots_.size() * 3) grow();  // at most three quarters full
  const std::size_t hashed = hash(id);
  const std::uint64_t tag = hashed & tag_mask;
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = (hashed >> tag_bits) & mask;
  for (; slots_[i] != 0; i = (i + 1) & mask) {
    if ((slots_[i] & tag_mask) == tag && text_at((slots_[i] >> tag_bits) - 1) == id) return false;
  }
  const std::uint64_t offset = arena_.size();
  for (std::size_t length = id.size(); ; length >>= 7) {
    arena_ += static_cast<char>(length < 0x80 ? length : (length & 0x7F) | 0x80);
    if (length < 0x80) break;
  }
  arena_.append(id);
  slots_[i] = ((offset + 1) << tag_bits) | tag;
  ++count_;
  return true;
}

}  // namespace xml2slist
