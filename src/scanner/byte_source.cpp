#include "scanner/byte_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace xml2slist {

ssize_t FdSource::read(char* destination, std::size_t max) {
  for (;;) {
    const ssize_t n = ::read(fd_, destination, max);
    if (n >= 0 || errno != EINTR) return n < 0 ? -1 : n;
  }
}

bool FdSource::is_terminal() const { return ::isatty(fd_) > 0; }

ssize_t MemorySource::read(char* destination, std::size_t max) {
  const std::size_t n = std::min({max, slice_, bytes_.size() - offset_});
  std::memcpy(destination, bytes_.data() + offset_, n);
  offset_ += n;
  return static_cast<ssize_t>(n);
}

}  // namespace xml2slist
