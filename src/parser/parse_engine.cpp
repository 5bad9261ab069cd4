#include "parser/parse_engine.h"

#include "parser/grammar.h"
#include "parser/parse_tables.h"
#include "parser/step_table.h"
#include "scanner/token.h"

namespace xml2slist {

void ParseEngine::read_token(int state) {
  lookahead_ = tokens_.next_token();
  if (lookahead_ < 0) lookahead_ = 0;
  if (trace_level_) {
    trace_ << "yydebug: state " << state << ", reading " << lookahead_ << " (" << token_display_name(lookahead_)
           << ")\n";
  }
}

// Pushes `state`, and the token's value when a WORD or STRING is shifted
// (nothing reads the value slot of any other symbol). False when the stack
// is full.
bool ParseEngine::push(int state, bool with_token) {
  if (top_ + 1 >= stack_capacity) return false;
  ++top_;
  state_stack_[static_cast<std::size_t>(top_)] = static_cast<std::int16_t>(state);
  // The value moves onto the stack; the scanner refills its own on the next WORD or STRING.
  if (with_token) value_stack_[static_cast<std::size_t>(top_)].swap(tokens_.token_value());
  return true;
}

int ParseEngine::syntax_error(int top) {
  actions_.report_xml_error("syntax error");
  for (int entry = top;; --entry) {
    if (trace_level_) trace_ << "yydebug: error recovery discarding state " << state_stack_[static_cast<std::size_t>(entry)] << "\n";
    if (entry == 0) return 1;
  }
}

int ParseEngine::overflow() {
  actions_.report_xml_error("yacc stack overflow");
  return 1;
}

int ParseEngine::parse_document(const char* yydebug) {
  if (yydebug && yydebug[0] >= '0' && yydebug[0] <= '9') trace_level_ = yydebug[0] - '0';
  lookahead_ = -1;
  top_ = 0;
  state_stack_[0] = 0;
  int state = 0;
  for (;;) {
    int rule = default_reduction[static_cast<std::size_t>(state)];
    if (rule == 0) {
      if (lookahead_ < 0) read_token(state);
      const int kind = token_kind(lookahead_);
      const int action = kind < 0 ? 0 : step_table.action[static_cast<std::size_t>(state)][static_cast<std::size_t>(kind)];
      if (action > 0) {
        const int target = action;
        if (trace_level_) trace_ << "yydebug: state " << state << ", shifting to state " << target << "\n";
        if (!push(target, lookahead_ == WORD || lookahead_ == STRING)) return overflow();
        state = target;
        lookahead_ = -1;
        continue;
      }
      if (action == 0) return syntax_error(top_);
      rule = -action;
    }

    if (trace_level_) {
      trace_ << "yydebug: state " << state << ", reducing by rule " << rule << " ("
             << rule_strings[static_cast<std::size_t>(rule)] << ")\n";
    }
    const int length = rule_length[static_cast<std::size_t>(rule)];
    actions_.reduce(rule, &value_stack_[static_cast<std::size_t>(top_ - length + 1)]);
    top_ -= length;
    const int uncovered = state_stack_[static_cast<std::size_t>(top_)];
    const int lhs = rule_lhs[static_cast<std::size_t>(rule)];

    if (uncovered == 0 && lhs == nonterminal::vk_file) {  // acceptance
      if (trace_level_) trace_ << "yydebug: after reduction, shifting from state 0 to state " << final_state << "\n";
      state_stack_[static_cast<std::size_t>(++top_)] = final_state;
      state = final_state;
      if (lookahead_ < 0) read_token(state);
      if (lookahead_ == end_of_input) return 0;
      continue;
    }

    const int target = step_table.go[static_cast<std::size_t>(lhs)][static_cast<std::size_t>(uncovered)];
    if (trace_level_) {
      trace_ << "yydebug: after reduction, shifting from state " << uncovered << " to state " << target << "\n";
    }
    if (!push(target, false)) return overflow();
    state = target;
  }
}

}  // namespace xml2slist
