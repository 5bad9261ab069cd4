#pragma once

#include <cstring>
#include <string_view>

namespace xml2slist {

// Hands `text` to `emit` in pieces, each backslash doubled, so that an S
// string literal reads back the text itself. Most texts hold no backslash
// and go out as one piece.
template <typename Emit>
void emit_doubling_backslashes(std::string_view text, Emit&& emit) {
  if (text.empty()) {
    emit(text);
    return;
  }
  const char* p = text.data();
  const char* const end = p + text.size();
  for (;;) {
    const auto* backslash = static_cast<const char*>(std::memchr(p, '\\', static_cast<std::size_t>(end - p)));
    if (backslash == nullptr) {
      emit(std::string_view(p, static_cast<std::size_t>(end - p)));
      return;
    }
    // The backslash goes out with the piece before it, then once more.
    emit(std::string_view(p, static_cast<std::size_t>(backslash + 1 - p)));
    emit(std::string_view("\\", 1));
    p = backslash + 1;
    if (p == end) return;
  }
}

}  // namespace xml2slist
