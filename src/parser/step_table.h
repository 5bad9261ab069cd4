#pragma once

#include <array>
#include <cstdint>

#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "scanner/token.h"

namespace xml2slist {

// The packed tables unfolded at compile time into plain arrays, so that each
// step of the engine is one array access.

inline constexpr int token_kind_count = 11;

// The tokens the scanner produces, in a dense order.
inline constexpr std::array<int, token_kind_count> kind_tokens = {
    end_of_input, open_angle, equals_sign, close_angle, PROTO1S, PROTO1E, PROTO2S, ETAGS, ETAGE, WORD, STRING};

// A token's place in kind_tokens, or -1 for a number no state uses.
constexpr int token_kind(int token) {
  switch (token) {
    case end_of_input: return 0;
    case open_angle: return 1;
    case equals_sign: return 2;
    case close_angle: return 3;
    default: return token >= PROTO1S && token <= STRING ? token - PROTO1S + 4 : -1;
  }
}

struct StepTable {
  // state x token kind -> target state (> 0) of a shift, minus the rule (< 0)
  // of a look-ahead reduction, or 0 for a syntax error
  std::array<std::array<std::int8_t, token_kind_count>, state_count> action;
  // nonterminal x uncovered state -> state after the reduction
  std::array<std::array<std::int8_t, state_count>, nonterminal_count> go;
};

constexpr StepTable make_step_table() {
  StepTable table{};
  for (int state = 0; state < state_count; ++state) {
    for (int kind = 0; kind < token_kind_count; ++kind) {
      const int token = kind_tokens[static_cast<std::size_t>(kind)];
      const int shift = packed_lookup(shift_index[static_cast<std::size_t>(state)], token);
      const int reduce = packed_lookup(reduce_index[static_cast<std::size_t>(state)], token);
      table.action[static_cast<std::size_t>(state)][static_cast<std::size_t>(kind)] =
          static_cast<std::int8_t>(shift >= 0 ? shift : reduce >= 0 ? -reduce : 0);
    }
  }
  for (int symbol = 0; symbol < nonterminal_count; ++symbol) {
    for (int state = 0; state < state_count; ++state) {
      const int target = packed_lookup(goto_index[static_cast<std::size_t>(symbol)], state);
      table.go[static_cast<std::size_t>(symbol)][static_cast<std::size_t>(state)] =
          static_cast<std::int8_t>(target >= 0 ? target : default_goto[static_cast<std::size_t>(symbol)]);
    }
  }
  return table;
}

inline constexpr StepTable step_table = make_step_table();

// Single steps, for the tables derived at compile time from these.
constexpr int step_action(int state, int token) {
  return step_table.action[static_cast<std::size_t>(state)][static_cast<std::size_t>(token_kind(token))];
}
constexpr int step_goto(int symbol, int state) {
  return step_table.go[static_cast<std::size_t>(symbol)][static_cast<std::size_t>(state)];
}
constexpr int step_default(int state) { return default_reduction[static_cast<std::size_t>(state)]; }

// A table derived from the steps: for each state, `after(state)`, the state
// a sequence of steps that begins there leads to, or 0 where none begins.
using StateTable = std::array<std::int16_t, state_count>;
template <typename After>
constexpr StateTable make_state_table(After after) {
  StateTable table{};
  for (int state = 0; state < state_count; ++state) {
    table[static_cast<std::size_t>(state)] = static_cast<std::int16_t>(after(state));
  }
  return table;
}
// How many states a sequence of steps in `table` begins in.
constexpr int beginning_states(const StateTable& table) {
  int count = 0;
  for (const std::int16_t after : table) count += after > 0 ? 1 : 0;
  return count;
}

}  // namespace xml2slist
