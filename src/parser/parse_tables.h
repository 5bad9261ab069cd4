#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace xml2slist {

inline constexpr int state_count = 56;
inline constexpr int packed_size = 222;
inline constexpr int final_state = 4;

// The LALR(1) automaton of the document grammar, packed.

// state -> rule to reduce without looking at the look-ahead; 0 = none
inline constexpr std::array<std::int16_t, state_count> default_reduction = {
    0, 0, 6, 0, 0, 0, 2, 3, 0, 17, 0, 0, 0, 1, 4, 25, 27, 26, 20, 0, 18, 19, 0, 0, 8, 13, 14, 15, 0, 11, 31, 0, 28, 0, 33, 0, 16, 0, 0, 0, 5, 9, 7, 12, 0, 32, 29, 34, 0, 22, 24, 10, 36, 37, 35, 30,
};

// state -> base index of its shift entries in action_table; 0 = none
inline constexpr std::array<std::int16_t, state_count> shift_index = {
    -38, -254, 0, -245, 0, -38, 0, 0, -60, 0, -242, -248, -50, 0, 0, 0, 0, 0, 0, -239, 0, 0, -36, -252, 0, 0, 0, 0, -49, 0, 0, -35, 0, -46, 0, -235, 0, -56, -37, -234, 0, 0, 0, 0, -233, 0, 0, 0, -34, 0, 0, 0, 0, 0, 0, 0,
};

// state -> base index of its look-ahead reductions in action_table; 0 = none
inline constexpr std::array<std::int16_t, state_count> reduce_index = [] {
  std::array<std::int16_t, state_count> table{};
  table[8] = -229;
  table[19] = -58;
  table[44] = -44;
  return table;
}();

// nonterminal -> base index of its explicit gotos in action_table; 0 = none
inline constexpr std::array<std::int16_t, 20> goto_index = {0, 0, -1, 19, 0, 0, 0, 9, 5, 0, 0, 0, 0, -10, -2, 0, 0, 0, 3, 0};

// nonterminal -> goto target when no explicit entry matches
inline constexpr std::array<std::int16_t, 20> default_goto = {4, 5, 6, 27, 23, 28, 11, 24, 29, 8, 19, 36, 9, 20, 21, 37, 38, 33, 34, 54};

namespace packed_detail {
// Entries 0..37 and 200..221 are used; 38..199 are empty.
inline constexpr std::int16_t action_low[] = {3, 17, 23, 21, 13, 17, 40, 18, 10, 1, 22, 2, 32, 42, 25, 26, 46, 12, 38, 7, 22, 35, 3, 3, 14, 39, 44, 48, 55, 51, 52, 38, 41, 43, 53, 49, 47, 50};
inline constexpr std::int16_t check_low[] = {60, 61, 60, 61, 5, 61, 258, 8, 262, 257, 262, 259, 62, 62, 262, 263, 62, 262, 62, 0, 262, 260, 60, 60, 5, 61, 61, 262, 62, 263, 263, 260, 23, 28, 44, 37, 33, 38};
inline constexpr std::int16_t action_high[] = {0, 0, 15, 16, 21, 21, 15, 16, 1, 0, 2, 30, 31, 25, 26, 45, 31, 38, 38, 1, 0, 2};
inline constexpr std::int16_t check_high[] = {-1, -1, 262, 263, 262, 263, 262, 263, 257, -1, 259, 261, 262, 262, 263, 261, 262, 261, 262, 257, -1, 259};

template <std::size_t Low, std::size_t High>
constexpr std::array<std::int16_t, packed_size> pack(const std::int16_t (&low)[Low], const std::int16_t (&high)[High],
                                                     std::int16_t filler) {
  std::array<std::int16_t, packed_size> table{};
  for (auto& entry : table) entry = filler;
  for (std::size_t i = 0; i < Low; ++i) table[i] = low[i];
  for (std::size_t i = 0; i < High; ++i) table[packed_size - High + i] = high[i];
  return table;
}
}  // namespace packed_detail

// packed index -> target state (shift, goto) or rule number (reduction)
inline constexpr std::array<std::int16_t, packed_size> action_table =
    packed_detail::pack(packed_detail::action_low, packed_detail::action_high, 0);
// packed index -> the token or uncovered state that owns the entry; -1 = empty
inline constexpr std::array<std::int16_t, packed_size> check_table =
    packed_detail::pack(packed_detail::check_low, packed_detail::check_high, -1);

// A packed lookup: the entry for `key` under `base`, or -1 when there is none.
constexpr int packed_lookup(int base, int key) {
  if (base == 0) return -1;
  const int index = base + key;
  if (index < 0 || index >= packed_size || check_table[static_cast<std::size_t>(index)] != key) return -1;
  return action_table[static_cast<std::size_t>(index)];
}

}  // namespace xml2slist
