#pragma once

#include <cstddef>
#include <memory>

#include "scanner/byte_source.h"

namespace xml2slist {

// Delivers a byte source as a text-mode stream would: a carriage return
// followed by a line feed arrives as the line feed alone (also when the pair
// is split across two reads), and a 0x1A byte ends the input. The end is
// sticky: once the source has said it has nothing more, it is not read again.
class TextModeReader {
 public:
  // Allocates the read area (throws std::bad_alloc).
  explicit TextModeReader(ByteSource& source)
      : source_(source), raw_(std::make_unique_for_overwrite<char[]>(raw_capacity)) {}

  // Reads up to `max` (> 0) bytes; a short count is fine, 0 is the end.
  std::size_t read_block(char* destination, std::size_t max);
  // Reads one byte; -1 at the end.
  int read_byte();

  // The stream's error flag: a read from the source failed.
  bool error() const { return error_; }
  bool is_terminal() const { return source_.is_terminal(); }

 private:
  // Raw bytes asked of the source at a time: the scanner takes at most 8192
  // bytes a read, but a file read in larger blocks costs an eighth of the
  // system calls (a pipe or terminal read returns what is there at once).
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
