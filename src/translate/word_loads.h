#pragma once

#include <cstddef>
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

}  // namespace xml2slist
