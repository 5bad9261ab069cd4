#pragma once

#include <cstddef>
#include <memory>

#include "scanner/byte_source.h"

namespace xml2slist {

// Delivers a source as a text-mode stream would: a carriage return before a
// line feed is dropped, even across two reads, and a 0x1A byte ends the input.
// An ended source is not read again.
class TextModeReader {
 public:
  // Allocates the read area (throws std::bad_alloc).
  explicit TextModeReader(ByteSource& source)
      : source_(source), raw_(std::make_unique_for_overwrite<char[]>(raw_capacity)) {}

  // Reads up to `max` (> 0) bytes; a short count is fine, 0 is the end.
  std::size_t read_block(char* destination, std::size_t max);
  // Reads one byte; -1 at the end.
  int read_byte();

  // Set once a read from the source has failed; it tells a failed read from the end of the input.
  bool error() const { return error_; }
  bool is_terminal() const { return source_.is_terminal(); }

 private:
  // Eight of the scanner's 8192-byte reads: a file then needs an eighth of the
  // system calls, while a pipe or terminal still gives what it has at once.
  static constexpr std::size_t raw_capacity = 65536;
  static constexpr char end_of_text = 0x1A;

  bool fill_raw();
  bool raw_needs_more() const;

  ByteSource& source_;
  std::unique_ptr<char[]> raw_;  // on the heap: the reader may live on a small stack
  std::size_t raw_position_ = 0;
  std::size_t raw_length_ = 0;
  bool source_ended_ = false;  // the source returned 0 or failed
  bool text_ended_ = false;    // a 0x1A byte was met
  bool error_ = false;
};

}  // namespace xml2slist
