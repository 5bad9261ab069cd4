#pragma once

#include <cstdint>
#include <string_view>

namespace xml2slist {

// Token numbers shared by the scanner and the parser.
enum Token : int {
  end_of_input = 0,
  open_angle = '<',   // 60
  equals_sign = '=',  // 61
  close_angle = '>',  // 62
  error_token = 256,  // never produced; only error recovery knows it
  PROTO1S = 257,      // <?
  PROTO1E = 258,      // ?>
  PROTO2S = 259,      // <!
  ETAGS = 260,        // </
  ETAGE = 261,        // />
  WORD = 262,
  STRING = 263,
};

inline constexpr int highest_token = STRING;

// What was read ahead of the parser after a '<' or an ETAGS: nothing, the
// name's WORD, or the WORD and the '>' after it.
enum class TagRead { nothing, name, name_and_close };

// A token of a text run read ahead of the parser: a WORD, '=' or STRING,
// with its value (empty for '='), in 16 bytes. A value lies within the
// scanner's buffer, which never holds 4 GiB.
struct RunToken {
  RunToken() = default;
  RunToken(int kind, std::string_view text)
      : data(text.data()), size(static_cast<std::uint32_t>(text.size())), token(kind) {}
  std::string_view value() const { return {data, size}; }

  const char* data = nullptr;
  std::uint32_t size = 0;
  int token = 0;
};

}  // namespace xml2slist
