#pragma once

#include <array>
#include <cstdint>

namespace xml2slist {

// The classes the token rules are stated over; every byte has exactly one.
enum class ByteClass : std::uint8_t {
  plain,         // every byte not listed below, NUL and 0x80-0xFF included
  blank,         // tab, carriage return, space
  newline,       // line feed
  double_quote,  // "
  apostrophe,    // '
  slash,         // /
  open,          // <
  equals,        // =
  close,         // >
  question,      // ?
};

namespace detail {
constexpr std::array<ByteClass, 256> make_byte_classes() {
  std::array<ByteClass, 256> table{};
  for (auto& entry : table) entry = ByteClass::plain;
  table['\t'] = table['\r'] = table[' '] = ByteClass::blank;
  table['\n'] = ByteClass::newline;
  table['"'] = ByteClass::double_quote;
  table['\''] = ByteClass::apostrophe;
  table['/'] = ByteClass::slash;
  table['<'] = ByteClass::open;
  table['='] = ByteClass::equals;
  table['>'] = ByteClass::close;
  table['?'] = ByteClass::question;
  return table;
}

constexpr std::array<bool, 256> make_word_bytes() {
  std::array<bool, 256> table{};
  const auto classes = make_byte_classes();
  for (int b = 0; b < 256; ++b) {
    const ByteClass c = classes[b];
    table[b] = c == ByteClass::plain || c == ByteClass::slash || c == ByteClass::question;
  }
  return table;
}
}  // namespace detail

inline constexpr std::array<ByteClass, 256> byte_classes = detail::make_byte_classes();

// A word byte is a plain byte, a slash or a question mark.
inline constexpr std::array<bool, 256> word_bytes = detail::make_word_bytes();

inline ByteClass byte_class(unsigned char b) { return byte_classes[b]; }
inline bool is_word_byte(unsigned char b) { return word_bytes[b]; }

}  // namespace xml2slist
