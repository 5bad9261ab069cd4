#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace xml2slist {

// The first and the last sizeof(Word) bytes of a text of `size` bytes,
// sizeof(Word) <= size <= 2 * sizeof(Word): two loads that overlap unless
// the size is exactly two words. Short texts are read this way without a
// call or a byte loop.
template <typename Word>
struct WordEnds {
  Word head;
  Word tail;
};

template <typename Word>
inline WordEnds<Word> load_word_ends(const char* text, std::size_t size) {
  WordEnds<Word> ends;
  std::memcpy(&ends.head, text, sizeof(Word));
  std::memcpy(&ends.tail, text + size - sizeof(Word), sizeof(Word));
  return ends;
}

// Copies `size` bytes, sizeof(Word) <= size <= 2 * sizeof(Word), as the
// two words at its ends.
template <typename Word>
inline void copy_two_words(char* to, const char* from, std::size_t size) {
  const WordEnds<Word> ends = load_word_ends<Word>(from, size);
  std::memcpy(to, &ends.head, sizeof(Word));
  std::memcpy(to + size - sizeof(Word), &ends.tail, sizeof(Word));
}

// Copies `size` bytes; the short copies of words and separators, the common
// case, are done inline with a few loads and stores that may overlap.
inline void copy_bytes(char* to, const char* from, std::size_t size) {
  if (size >= 8 && size <= 16) {
    copy_two_words<std::uint64_t>(to, from, size);
  } else if (size >= 4 && size < 8) {
    copy_two_words<std::uint32_t>(to, from, size);
  } else if (size > 0 && size < 4) {
    to[0] = from[0];
    to[size / 2] = from[size / 2];
    to[size - 1] = from[size - 1];
  } else if (size > 16) {
    std::memcpy(to, from, size);
  }
}

}  // namespace xml2slist
