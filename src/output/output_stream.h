#pragma once

#include <cstddef>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace xml2slist {

// Where a stream's bytes go.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all bytes; false (with errno set) on failure.
  virtual bool write(const char* data, std::size_t size) = 0;
  virtual bool is_terminal() const = 0;
};

// Writes to a file descriptor that the caller owns.
class FdSink final : public ByteSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  bool write(const char* data, std::size_t size) override;
  bool is_terminal() const override;

 private:
  int fd_;
};

// Collects the bytes in memory (in-process runs, tests, the fuzzer).
class StringSink final : public ByteSink {
 public:
  bool write(const char* data, std::size_t size) override {
    text.append(data, size);
    return true;
  }
  bool is_terminal() const override { return false; }
  std::string text;
};

// A write to the stream failed; `error` is the errno value.
class OutputFailure : public std::runtime_error {
 public:
  explicit OutputFailure(int error_number);
  int error;
};

// Formatted output over a sink: every print reaches a terminal at once,
// while output to files and pipes is gathered in a large buffer.
class OutputStream {
 public:
  // A failed write is thrown, or dropped when `report_failures` is false
  // (standard error: nowhere else to say it). Short of memory, the stream has
  // no buffer: nothing may be printed unless has_buffer().
  explicit OutputStream(ByteSink& sink, bool report_failures = true);
  ~OutputStream() = default;
  OutputStream(const OutputStream&) = delete;
  OutputStream& operator=(const OutputStream&) = delete;

  OutputStream& operator<<(std::string_view text) {
    if (text.size() <= capacity - used_) {
      text.copy(buffer_.get() + used_, text.size());
      used_ += text.size();
      if (terminal_) flush();
    } else {
      write_large(text);
    }
    return *this;
  }
  OutputStream& operator<<(char c) {
    if (used_ == capacity) flush();
    buffer_[used_++] = c;
    if (terminal_) flush();
    return *this;
  }
  OutputStream& operator<<(long long number);
  OutputStream& operator<<(int number) { return *this << static_cast<long long>(number); }

  // Hands the buffered bytes to the sink; throws OutputFailure when the sink
  // fails, or always after an earlier failure.
  void flush();
  // Runs before any bytes are handed to the sink: whatever must be settled
  // before they can no longer be taken back.
  void set_before_flush(std::function<void()> hook) { before_flush_ = std::move(hook); }
  // The bytes buffered, none of them handed on yet.
  std::size_t buffered() const { return used_; }
  // Takes back the bytes written after buffered() was `size`, with no flush since.
  void take_back(std::size_t size) { used_ = size; }

  bool has_buffer() const { return buffer_ != nullptr; }

  // Where `size` bytes may go straight into the buffer, to be followed by
  // wrote(size); nullptr unless they fit and the stream is no terminal, so the
  // sink sees the writes that printing them would make.
  char* room_for(std::size_t size) { return !terminal_ && size <= capacity - used_ ? buffer_.get() + used_ : nullptr; }
  void wrote(std::size_t size) { used_ += size; }

 private:
  static constexpr std::size_t capacity = 1 << 16;
  void write_large(std::string_view text);

  void fail();

  ByteSink& sink_;
  bool terminal_;
  bool report_failures_;
  struct Release {
    void operator()(char* area) const { std::free(area); }
  };
  // From malloc: even a nothrow new would throw inside, and with memory gone
  // the runtime may have no room left to throw.
  std::unique_ptr<char[], Release> buffer_;
  std::size_t used_ = 0;
  int failure_ = 0;
  std::function<void()> before_flush_;
};

}  // namespace xml2slist
