#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "translate/word_loads.h"

namespace xml2slist {

// Whether a name of 4 to 16 bytes holds none of ":_-.", told from two
// loads without a byte loop; most names hold none.
inline bool lacks_name_replacements(const char* name, std::size_t size) {
#if defined(__SSE2__)
  std::uint64_t head, tail;
  if (size >= 8) {
    const WordEnds<std::uint64_t> ends = load_word_ends<std::uint64_t>(name, size);
    head = ends.head;
    tail = ends.tail;
  } else {
    const WordEnds<std::uint32_t> ends = load_word_ends<std::uint32_t>(name, size);
    head = tail = std::uint64_t{ends.head} << 32 | ends.tail;
  }
  const __m128i bytes = _mm_set_epi64x(static_cast<long long>(tail), static_cast<long long>(head));
  const __m128i found = _mm_or_si128(
      _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(':')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('_'))),
      _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('-')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'))));
  return _mm_movemask_epi8(found) == 0;
#else
  (void)name;
  (void)size;
  return false;  // the byte loop tells
#endif
}

// Whether `name` is known at once to hold none of ":_-.": a name of 4 to 16
// bytes is told by lacks_name_replacements(); others are left to the loop.
inline bool plainly_lacks_name_replacements(std::string_view name) {
  return name.size() >= 4 && name.size() <= 16 && lacks_name_replacements(name.data(), name.size());
}

// Replaces each of ":_-." by '?', as element and attribute names are written.
inline void replace_name_characters(char* name, std::size_t size) {
  if (plainly_lacks_name_replacements(std::string_view(name, size))) return;
  for (char* c = name; c != name + size; ++c) {
    if (*c == ':' || *c == '_' || *c == '-' || *c == '.') *c = '?';
  }
}

// Copies `name` to `to` with the replacement and returns the name as
// written: `name` itself when nothing was replaced, else the copy (valid
// until `to` grows). The name is tested and read back where it came from,
// not where it was just copied: reading back bytes just stored in pieces of
// another size stalls the processor.
template <typename Buffer>
[[gnu::always_inline]] inline std::string_view append_name(Buffer& to, std::string_view name) {
  const std::size_t at = to.size();
  to.append(name);
  if (plainly_lacks_name_replacements(name)) return name;
  char* const copy = to.data() + at;
  replace_name_characters(copy, name.size());
  return {copy, name.size()};
}
inline void replace_name_characters(std::string& name) { replace_name_characters(name.data(), name.size()); }

}  // namespace xml2slist
