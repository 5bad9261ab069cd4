#pragma once

// The benchmark document families, shared by the generator program and the
// micro-benchmarks. Every family is deterministic: the same family and size
// always give the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace xml2slist::bench {

// Gathers a document and hands it on in blocks of a few megabytes: to a file
// when one is given, else it keeps the whole text in memory.
class Writer {
 public:
  explicit Writer(std::FILE* file = nullptr);
  ~Writer() { flush(); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  Writer& operator<<(std::string_view text) {
    buffer_.append(text);
    written_ += text.size();
    if (file_ && buffer_.size() >= block) flush();
    return *this;
  }
  Writer& operator<<(char c) {
    buffer_.push_back(c);
    ++written_;
    if (file_ && buffer_.size() >= block) flush();
    return *this;
  }
  // A decimal number padded with zeros to `width` digits.
  Writer& number(std::uint64_t value, int width = 0);
  // Appends `count` bytes cycling through `pattern`.
  void repeat(std::string_view pattern, std::size_t count);

  std::size_t written() const { return written_; }
  // The text gathered so far (all of it when no file is given).
  const std::string& text() const { return buffer_; }
  // Writes out what is gathered; false when any write to the file failed.
  bool flush();

 private:
  static constexpr std::size_t block = std::size_t{4} << 20;
  std::FILE* file_;
  std::string buffer_;
  std::size_t written_ = 0;
  bool failed_ = false;
};

// The family names: records, deep, wide, ids, colliding (Ids chosen to share
// the low bits of an unkeyed hash), dense (nothing but Ids), idrecords
// (short records each with an Id), text, huge.
bool is_family(std::string_view family);
// Writes a document of `family` of about `size` bytes (at least `size`,
// except that huge tokens come in whole 10 MB tokens). False for an
// unknown family.
bool write_family(std::string_view family, std::size_t size, Writer& out);
// The document in memory.
std::string make_document(std::string_view family, std::size_t size);

}  // namespace xml2slist::bench
