#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "output/output_stream.h"
#include "translate/word_loads.h"

namespace xml2slist {

// A count written in decimal as a piece of a statement, straight into the
// output: its size is known before its digits are.
struct Decimal {
  explicit Decimal(std::uint64_t number) : value(number) {
    for (std::uint64_t rest = number / 10; rest != 0; rest /= 10) ++digits;
  }
  std::uint64_t value;
  std::size_t digits = 1;
};

inline OutputStream& operator<<(OutputStream& out, const Decimal& number) {
  return out << static_cast<long long>(number.value);
}

namespace statement_detail {
// The pieces of a statement: texts, literals (their size known when
// compiled) and single characters.
inline std::size_t size_of(std::string_view text) { return text.size(); }
template <std::size_t N>
constexpr std::size_t size_of(const char (&)[N]) {
  return N - 1;
}
constexpr std::size_t size_of(char) { return 1; }
inline std::size_t size_of(const Decimal& number) { return number.digits; }

inline char* put(char* to, std::string_view text) {
  copy_bytes(to, text.data(), text.size());
  return to + text.size();
}
template <std::size_t N>
char* put(char* to, const char (&literal)[N]) {
  copy_bytes(to, literal, N - 1);
  return to + N - 1;
}
inline char* put(char* to, char c) {
  *to = c;
  return to + 1;
}
inline char* put(char* to, const Decimal& number) {
  std::uint64_t rest = number.value;
  for (std::size_t i = number.digits; i-- > 0; rest /= 10) to[i] = static_cast<char>('0' + rest % 10);
  return to + number.digits;
}
}  // namespace statement_detail

// Writes the pieces of one statement. When the whole statement fits in the
// output buffer it is copied there in one go, with inline copies of the
// short pieces; otherwise it is printed piece by piece. The bytes and the
// writes the sink sees are the same either way.
template <typename... Pieces>
void write_statement(OutputStream& out, const Pieces&... pieces) {
  using statement_detail::put;
  using statement_detail::size_of;
  const std::size_t size = (size_of(pieces) + ...);
  char* to = out.room_for(size);
  if (to == nullptr) {
    (out << ... << pieces);
    return;
  }
  ((to = put(to, pieces)), ...);
  out.wrote(size);
}

}  // namespace xml2slist
