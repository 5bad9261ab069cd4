#include "translate/text_buffer.h"

#include <algorithm>
#include <new>

namespace xml2slist {

void release_if_large(std::string& text) {
  if (text.capacity() > large_text) {
    std::string().swap(text);
  } else {
    text.clear();
  }
}

void TextBuffer::reserve(std::size_t size) {
  if (size > capacity_) grow(size - size_);
}

void TextBuffer::grow(std::size_t more) {
  if (more > SIZE_MAX / 2 - size_) throw std::bad_alloc();
  const std::size_t capacity = std::max({capacity_ * 2, size_ + more, std::size_t{256}});
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void TextBuffer::release() {
  data_.reset();
  capacity_ = 0;
}

}  // namespace xml2slist
