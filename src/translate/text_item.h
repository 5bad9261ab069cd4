#pragma once

#include <cstdint>
#include <string_view>

namespace xml2slist {

// The kinds of items of a text run.
enum class ContentWord : std::uint8_t {
  word,
  quoted_string,
  words,  // several words in a row, with one separator byte between each two
  equals_sign,
};

// Whether `c` separates the words of a `words` item.
inline constexpr bool separates_words(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

// One item of a text run as the translation takes it, in 16 bytes so that
// it is passed in registers; its text holds no byte below a space but the
// separators of a `words` item. Items are read ahead within a buffer that
// never holds 4 GiB.
struct TextItem {
  TextItem() = default;
  TextItem(ContentWord item_kind, std::string_view item_text)
      : data(item_text.data()), size(static_cast<std::uint32_t>(item_text.size())), kind(item_kind) {}
  std::string_view text() const { return {data, size}; }

  const char* data;
  std::uint32_t size;
  ContentWord kind;
};

}  // namespace xml2slist
