#include "scanner/scan_buffer.h"

#include <cstdlib>
#include <limits>
#include <new>

namespace xml2slist {

void scanner_fatal(const char* message) { throw ScannerFatal(message); }

namespace {
void* heap_allocate(std::size_t bytes) { return std::malloc(bytes); }
void* heap_resize(void* area, std::size_t bytes) { return std::realloc(area, bytes); }
void heap_release(void* area) { std::free(area); }
}  // namespace

const BufferMemory& platform_memory() {
  static const BufferMemory memory{heap_allocate, heap_resize, heap_release};
  return memory;
}

ScanBuffer* yy_create_buffer(TextModeReader* stream, std::uint32_t size, const BufferMemory& memory) {
  void* record = memory.allocate(sizeof(ScanBuffer));
  if (!record) scanner_fatal("out of dynamic memory in yy_create_buffer()");
  auto* buffer = new (record) ScanBuffer;
  buffer->chars = static_cast<char*>(memory.allocate(std::size_t{size} + 2));
  if (!buffer->chars) {
    buffer->~ScanBuffer();
    memory.release(record);  // an in-process run goes on after the fatal error
    scanner_fatal("out of dynamic memory in yy_create_buffer()");
  }
  buffer->size = size;
  attach_buffer(*buffer, stream);
  return buffer;
}

void attach_buffer(ScanBuffer& buffer, TextModeReader* stream) {
  reset_buffer(buffer);
  buffer.stream = stream;
  buffer.interactive = stream != nullptr && stream->is_terminal();
}

void reset_buffer(ScanBuffer& buffer) {
  buffer.count = 0;
  buffer.chars[0] = end_mark;
  buffer.chars[1] = end_mark;
  buffer.position = 0;
  buffer.status = BufferStatus::fresh;
}

bool grow_buffer(ScanBuffer& buffer, std::size_t needed, const BufferMemory& memory) {
  // The held count is a signed 32-bit number.
  constexpr std::size_t largest = std::numeric_limits<std::int32_t>::max() - 2;
  std::size_t size = buffer.size;
  while (size < needed) {
    const std::size_t twice = size * 2;
    // Doubling, or one eighth more once doubling would leave the signed range.
    size = twice <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) ? twice : size + size / 8;
    if (size > largest) return false;
  }
  void* area = memory.resize(buffer.chars, size + 2);
  if (!area) return false;
  buffer.chars = static_cast<char*>(area);
  buffer.size = static_cast<std::uint32_t>(size);
  return true;
}

}  // namespace xml2slist
