#pragma once

#include <string_view>

namespace xml2slist {

// Hands `text` to `emit` in pieces, each backslash doubled, so that an S
// string literal reads back the text itself.
template <typename Emit>
void emit_doubling_backslashes(std::string_view text, Emit&& emit) {
  for (std::size_t start = 0;;) {
    const std::size_t backslash = text.find('\\', start);
    emit(text.substr(start, backslash - start));
    if (backslash == std::string_view::npos) return;
    emit(std::string_view("\\\\"));
    start = backslash + 1;
  }
}

}  // namespace xml2slist
