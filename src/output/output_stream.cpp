#include "output/output_stream.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace xml2slist {

bool FdSink::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FdSink::is_terminal() const { return ::isatty(fd_) > 0; }

OutputFailure::OutputFailure(int error_number)
    : std::runtime_error(std::strerror(error_number)), error(error_number) {}

OutputStream::OutputStream(ByteSink& sink, bool report_failures)
    : sink_(sink),
      terminal_(sink.is_terminal()),
      report_failures_(report_failures),
      buffer_(static_cast<char*>(std::malloc(capacity))) {}

void OutputStream::fail() {
  if (failure_ == 0) failure_ = errno != 0 ? errno : EIO;
  if (report_failures_) throw OutputFailure(failure_);
}

OutputStream& OutputStream::operator<<(long long number) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  return *this << std::string_view(digits, static_cast<std::size_t>(result.ptr - digits));
}

void OutputStream::flush() {
  if (before_flush_) before_flush_();
  if (failure_ != 0) {
    used_ = 0;
    if (report_failures_) throw OutputFailure(failure_);
    return;
  }
  if (used_ == 0) return;
  const std::size_t size = used_;
  used_ = 0;
  if (!sink_.write(buffer_.get(), size)) fail();
}

void OutputStream::write_large(std::string_view text) {
  flush();
  if (failure_ == 0 && !sink_.write(text.data(), text.size())) fail();
}

}  // namespace xml2slist
