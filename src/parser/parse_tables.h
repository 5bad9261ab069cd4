#pragma once

#include <array>
#include <cstdint>

namespace xml2slist {

inline constexpr int state_count = 56;
inline constexpr int packed_size = 222;
inline constexpr int final_state = 4;

// The LALR(1) automaton of the document grammar, packed.
extern const std::array<std::int16_t, state_count> default_reduction;  // state -> rule, 0 = none
extern const std::array<std::int16_t, state_count> shift_index;        // state -> base of its shifts
extern const std::array<std::int16_t, state_count> reduce_index;       // state -> base of its look-ahead reductions
extern const std::array<std::int16_t, 20> goto_index;                  // nonterminal -> base of its gotos
extern const std::array<std::int16_t, 20> default_goto;                // nonterminal -> goto when none matches
extern const std::array<std::int16_t, packed_size> action_table;       // packed index -> state or rule
extern const std::array<std::int16_t, packed_size> check_table;        // packed index -> owning key, -1 empty

// A packed lookup: the entry for `key` under `base`, or -1 when there is none.
int packed_lookup(int base, int key);

}  // namespace xml2slist
