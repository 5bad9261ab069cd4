#include "scanner/text_mode_reader.h"

#include <algorithm>
#include <cstring>

namespace xml2slist {

// A carriage return as the last raw byte cannot be delivered until the byte
// after it is known, unless the source has ended.
bool TextModeReader::raw_needs_more() const {
  if (raw_position_ == raw_length_) return true;
  return !source_ended_ && raw_position_ + 1 == raw_length_ && raw_[raw_position_] == '\r';
}

bool TextModeReader::fill_raw() {
  if (source_ended_) return raw_position_ < raw_length_;
  std::size_t kept = raw_length_ - raw_position_;  // 0, or the pending carriage return
  if (kept > 0) raw_[0] = raw_[raw_position_];
  raw_position_ = 0;
  raw_length_ = kept;
  const ssize_t n = source_.read(raw_.get() + kept, raw_capacity - kept);
  if (n < 0) error_ = true;
  if (n <= 0) {
    source_ended_ = true;
  } else {
    raw_length_ += static_cast<std::size_t>(n);
  }
  return raw_position_ < raw_length_;
}

std::size_t TextModeReader::read_block(char* destination, std::size_t max) {
  std::size_t out = 0;
  while (out < max && !text_ended_) {
    if (raw_needs_more()) {
      if (out > 0) break;  // a short read is fine; a pending carriage return waits
      if (!fill_raw()) break;
      if (raw_needs_more()) continue;
    }
    const char* run = raw_.get() + raw_position_;
    std::size_t length = std::min(raw_length_ - raw_position_, max - out);
    // Copy the run up to the first carriage return or 0x1A byte.
    const void* cr = std::memchr(run, '\r', length);
    const void* eot = std::memchr(run, end_of_text, length);
    std::size_t plain = length;
    if (cr) plain = static_cast<std::size_t>(static_cast<const char*>(cr) - run);
    if (eot) plain = std::min(plain, static_cast<std::size_t>(static_cast<const char*>(eot) - run));
    std::memcpy(destination + out, run, plain);
    out += plain;
    raw_position_ += plain;
    if (plain == length) continue;
    if (run[plain] == end_of_text) {
      text_ended_ = true;
      break;
    }
    // A carriage return: dropped when a line feed follows it.
    if (raw_position_ + 1 == raw_length_ && !source_ended_) continue;  // decided after the next read
    ++raw_position_;
    if (raw_position_ < raw_length_ && raw_[raw_position_] == '\n') continue;
    destination[out++] = '\r';
  }
  return out;
}

int TextModeReader::read_byte() {
  char c;
  return read_block(&c, 1) == 1 ? static_cast<unsigned char>(c) : -1;
}

}  // namespace xml2slist
