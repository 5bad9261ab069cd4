#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "translate/word_loads.h"

namespace xml2slist {

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

// The bytes of the text run being collected. Unlike a string, an append
// grows the storage without first filling it, and copies a short word
// inline. The storage is kept from one run to the next unless a huge run
// made it large.
class RunBuffer {
 public:
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {data_.get(), size_}; }

  void push_back(char c) {
    if (size_ == capacity_) grow(1);
    data_[size_++] = c;
  }
  void append(std::string_view text) {
    if (capacity_ - size_ < text.size()) grow(text.size());
    copy_bytes(data_.get() + size_, text.data(), text.size());
    size_ += text.size();
  }
  // Empties the buffer, giving back storage above `keep` bytes.
  void clear(std::size_t keep);

 private:
  void grow(std::size_t more);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace xml2slist
