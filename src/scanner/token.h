#pragma once

#include <cstddef>
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

// How far a read ahead after a '<' or an ETAGS got: nothing, the name's WORD,
// the WORD and its '>', or (after a '<') a whole leaf element.
enum class TagRead { nothing, name, name_and_close, leaf_element };

struct RunToken;

// A leaf element read ahead whole, <name>text</end_name>: its text is a run
// of `count` tokens (WORDs, '=', STRINGs and WORD_SPANs) at `tokens`.
struct LeafElement {
  std::string_view name;
  const RunToken* tokens = nullptr;
  std::size_t count = 0;
  std::string_view end_name;
};

// Not a token of the grammar: several WORDs of a text run read ahead as one
// text, the words separated by exactly one blank or newline byte each; no other
// byte of it is below a space.
inline constexpr int WORD_SPAN = 264;

// The blank and newline bytes: what the scanner steps over between tokens.
inline constexpr bool is_span_separator(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

template <typename Each>
void for_each_span_word(std::string_view span, Each&& each) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < span.size(); ++i) {
    if (!is_span_separator(span[i])) continue;
    each(span.substr(start, i - start));
    start = i + 1;
  }
  each(span.substr(start));
}

// Read ahead with its start tag: the value keeps both quotes, as a STRING's
// does; `line` is where next_token() would stand after it.
struct TagAttribute {
  std::string_view name;
  std::string_view value;
  std::int64_t line = 0;
};

// A token of a text run read ahead (WORD, '=', STRING or WORD_SPAN) in 16
// bytes: its value lies in the scanner's buffer, which never holds 4 GiB.
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
