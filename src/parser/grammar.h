#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace xml2slist {

inline constexpr int rule_count = 39;
inline constexpr int nonterminal_count = 20;

// Nonterminal numbers, in the order the goto tables use.
namespace nonterminal {
enum : int {
  vk_file, protocols, element, protocol, defs, defs2, mid_rule_1, def, def2, stag,
  body, etag, tag, empty, word, mid_rule_2, mid_rule_3, attrlists, attrlist, string_value,
};
}  // namespace nonterminal

// Display name of each token number 0..263; empty where no token has it.
std::string_view token_name(int token);
// Display name for a trace line: the token's name, else "illegal-symbol".
std::string_view token_display_name(int token);

// Per rule: its display string, its left-side nonterminal (-1 for $accept)
// and the number of symbols on its right side.
extern const std::array<std::string_view, rule_count> rule_strings;
extern const std::array<std::int16_t, rule_count> rule_lhs;
extern const std::array<std::int16_t, rule_count> rule_length;

}  // namespace xml2slist
