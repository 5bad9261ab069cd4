#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace xml2slist {

// A quick hash for the short texts of names and Id values: eight bytes at a
// time, each mixed in with a multiply and a shift.
inline std::uint64_t hash_text(std::string_view text) {
  constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15ull;
  const char* p = text.data();
  std::size_t left = text.size();
  std::uint64_t h = (left + 1) * multiplier;
  while (left >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * multiplier;
    h ^= h >> 32;
    p += 8;
    left -= 8;
  }
  if (left != 0) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, left);
    h = (h ^ word) * multiplier;
  }
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

}  // namespace xml2slist
