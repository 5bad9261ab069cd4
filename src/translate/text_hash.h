#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "translate/word_loads.h"

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
  // The last one to seven bytes without a variable-length copy: two 4-byte
  // reads that may overlap, or the first, middle and last byte (the length
  // is mixed in already, so overlaps cannot make two texts alike).
  if (left >= 4) {
    const WordEnds<std::uint32_t> ends = load_word_ends<std::uint32_t>(p, left);
    h = (h ^ (std::uint64_t{ends.head} << 32 | ends.tail)) * multiplier;
  } else if (left != 0) {
    const auto byte = [p](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
    h = (h ^ (byte(0) << 16 | byte(left / 2) << 8 | byte(left - 1))) * multiplier;
  }
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

}  // namespace xml2slist
