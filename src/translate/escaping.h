#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "translate/word_loads.h"

namespace xml2slist {

namespace escaping_detail {
// Whether any byte of `word` is a backslash (0x5C): the bytes xor-ed with
// it, then the usual test for a zero byte.
inline bool has_backslash_byte(std::uint64_t word) {
  constexpr std::uint64_t ones = 0x0101010101010101ull;
  const std::uint64_t x = word ^ (ones * '\\');
  return ((x - ones) & ~x & (ones * 0x80)) != 0;
}
}  // namespace escaping_detail

// Whether `text` holds a backslash. Words of up to sixteen bytes, the common
// case, are tested with two loads that may overlap, without a call.
inline bool contains_backslash(std::string_view text) {
  const char* p = text.data();
  const std::size_t size = text.size();
  if (size > 16) return std::memchr(p, '\\', size) != nullptr;
  if (size >= 8) {
    const WordEnds<std::uint64_t> ends = load_word_ends<std::uint64_t>(p, size);
    return escaping_detail::has_backslash_byte(ends.head) || escaping_detail::has_backslash_byte(ends.tail);
  }
  if (size >= 4) {
    const WordEnds<std::uint32_t> ends = load_word_ends<std::uint32_t>(p, size);
    return escaping_detail::has_backslash_byte(std::uint64_t{ends.head} << 32 | ends.tail);
  }
  for (std::size_t i = 0; i < size; ++i) {
    if (p[i] == '\\') return true;
  }
  return false;
}

// Hands `text` to `emit` in pieces, each backslash doubled, so that an S
// string literal reads back the text itself. Most texts hold no backslash
// and go out as one piece.
template <typename Emit>
void emit_doubling_backslashes(std::string_view text, Emit&& emit) {
  if (!contains_backslash(text)) {
    emit(text);
    return;
  }
  const char* p = text.data();
  const char* const end = p + text.size();
  for (;;) {
    const auto* backslash = static_cast<const char*>(std::memchr(p, '\\', static_cast<std::size_t>(end - p)));
    if (backslash == nullptr) {
      emit(std::string_view(p, static_cast<std::size_t>(end - p)));
      return;
    }
    // The backslash goes out with the piece before it, then once more.
    emit(std::string_view(p, static_cast<std::size_t>(backslash + 1 - p)));
    emit(std::string_view("\\", 1));
    p = backslash + 1;
    if (p == end) return;
  }
}

}  // namespace xml2slist
