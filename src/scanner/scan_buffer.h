#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "scanner/text_mode_reader.h"

namespace xml2slist {

// A scanner error past recovery: the message goes to standard error and the run ends with status 2.
class ScannerFatal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void scanner_fatal(const char* message);

// The input buffer's heap, behind pointers so that tests can make an allocation fail.
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

// Allocates and attaches a buffer of `size` bytes; throws ScannerFatal when memory is short.
ScanBuffer* yy_create_buffer(TextModeReader* stream, std::uint32_t size, const BufferMemory& memory);
// Empties the buffer and ties it to `stream`, noting whether that is a terminal.
void attach_buffer(ScanBuffer& buffer, TextModeReader* stream);
void reset_buffer(ScanBuffer& buffer);
// Grows the area until `needed` bytes fit; false when memory or the signed 32-bit count runs out.
bool grow_buffer(ScanBuffer& buffer, std::size_t needed, const BufferMemory& memory);

}  // namespace xml2slist
