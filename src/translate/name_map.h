#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace xml2slist {

// Hashing that lets maps keyed by std::string be searched with a string_view.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

template <typename Value>
using NameMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

// Replaces each of ":_-." by '?', as element and attribute names are written.
inline void replace_name_characters(char* name, std::size_t size) {
  for (char* c = name; c != name + size; ++c) {
    if (*c == ':' || *c == '_' || *c == '-' || *c == '.') *c = '?';
  }
}
inline void replace_name_characters(std::string& name) { replace_name_characters(name.data(), name.size()); }

}  // namespace xml2slist
