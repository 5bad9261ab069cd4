#pragma once

#include <cstdint>
#include <string_view>

namespace xml2slist {

// The kinds of items of a text run.
enum class ContentWord : std::uint8_t {
  word,
  equals_sign,
  quoted_string,
  words,  // several words in a row, with one separator byte between each two
};

// Whether `c` separates the words of a `words` item.
inline constexpr bool separates_words(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

// One item of a text run as the translation takes it; `text` holds no byte
// below a space but the separators of a `words` item.
struct TextItem {
  ContentWord kind = ContentWord::word;
  std::string_view text;
};

}  // namespace xml2slist
