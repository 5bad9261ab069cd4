#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace xml2slist {

// Where the document's raw bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `max` bytes; returns the count, 0 at the end, -1 on error.
  virtual ssize_t read(char* destination, std::size_t max) = 0;
  // A terminal is read a line at a time, so that each line is scanned as soon as it is typed.
  virtual bool is_terminal() const = 0;
};

// Reads a file descriptor that the caller owns.
class FdSource final : public ByteSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  ssize_t read(char* destination, std::size_t max) override;
  bool is_terminal() const override;

 private:
  int fd_;
};

// Bytes held in memory; `slice` caps each read, so that tests can cut the input at any byte.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes, std::size_t slice = static_cast<std::size_t>(-1))
      : bytes_(bytes), slice_(slice) {}
  ssize_t read(char* destination, std::size_t max) override;
  bool is_terminal() const override { return false; }

 private:
  std::string_view bytes_;
  std::size_t slice_;
  std::size_t offset_ = 0;
};

}  // namespace xml2slist
