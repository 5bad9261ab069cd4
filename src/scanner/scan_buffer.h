#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "scanner/text_mode_reader.h"

namespace xml2slist {

// An unrecoverable scanner condition; the run ends with status 2 after the
// message has been written to standard error.
class ScannerFatal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void scanner_fatal(const char* message);

// The heap used for the input buffer: thin wrappers that tests can replace
// to make allocation fail. `release` runs only when a scanner is destroyed.
struct BufferMemory {
  void* (*allocate)(std::size_t bytes);
  void* (*resize)(void* area, std::size_t bytes);
  void (*release)(void* area);
};
const BufferMemory& platform_memory();

enum class BufferStatus : std::int32_t {
  fresh = 0,        // nothing read since the last reset
  reading = 1,
  input_ended = 2,  // the stream gave nothing more; the last token is pending
};

// The held input of one stream. `chars` has room for `size` bytes plus two
// end marks behind the `count` bytes held.
struct ScanBuffer {
  TextModeReader* stream = nullptr;
  char* chars = nullptr;
  std::size_t position = 0;  // where scanning resumes, as an offset into chars
  std::uint32_t size = 0;
  std::int32_t count = 0;
  bool interactive = false;
  BufferStatus status = BufferStatus::fresh;
};

inline constexpr std::uint32_t initial_buffer_size = 16384;
inline constexpr std::size_t max_read_size = 8192;

// The end marks are a byte that no word or string rule runs over unchecked:
// reaching one tells the matcher to look at the held count.
inline constexpr char end_mark = '\n';

// Allocates a buffer of `size` bytes (plus end marks) and attaches it.
ScanBuffer* yy_create_buffer(TextModeReader* stream, std::uint32_t size, const BufferMemory& memory);
// Empties the buffer and ties it to `stream`.
void attach_buffer(ScanBuffer& buffer, TextModeReader* stream);
// Empties the buffer: nothing held, status fresh.
void reset_buffer(ScanBuffer& buffer);
// Grows the area by the scanner's rule until `needed` bytes fit; false when
// the platform cannot give the memory.
bool grow_buffer(ScanBuffer& buffer, std::size_t needed, const BufferMemory& memory);

}  // namespace xml2slist
