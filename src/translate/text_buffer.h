#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "translate/word_loads.h"

namespace xml2slist {

// Texts larger than this give their memory back once written, so that one
// huge token does not keep several copies of itself alive.
inline constexpr std::size_t large_text = std::size_t{1} << 20;
// Empties `text`, releasing its storage when it is large.
void release_if_large(std::string& text);

// A growing text built by appends: a text run being collected, the current
// element's path. Unlike a string, an append grows the storage without
// first filling it, and copies a short word inline. The storage is kept
// from one text to the next unless a huge one made it large.
class TextBuffer {
 public:
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {data_.get(), size_}; }
  char* data() { return data_.get(); }

  void push_back(char c) {
    if (size_ == capacity_) grow(1);
    data_[size_++] = c;
  }
  void append(std::string_view text) {
    if (capacity_ - size_ < text.size()) grow(text.size());
    copy_bytes(data_.get() + size_, text.data(), text.size());
    size_ += text.size();
  }
  // Adds `size` bytes for the caller to fill in and returns where they begin.
  char* extend(std::size_t size) {
    if (capacity_ - size_ < size) grow(size);
    char* const added = data_.get() + size_;
    size_ += size;
    return added;
  }
  // Makes room for `size` bytes in all, so that appends up to that size
  // copy nothing already held.
  void reserve(std::size_t size);
  // Keeps the first `size` bytes (no more than there are).
  void truncate(std::size_t size) { size_ = size; }
  // Empties the buffer, giving back storage above `keep` bytes.
  void clear(std::size_t keep) {
    size_ = 0;
    if (capacity_ > keep) [[unlikely]] release();
  }

 private:
  void grow(std::size_t more);
  void release();

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace xml2slist
