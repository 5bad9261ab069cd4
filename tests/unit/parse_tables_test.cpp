// Decodes the packed parse tables and compares them with the automaton
// written out state by state, as a reader of the grammar would draw it.
#include "parser/parse_tables.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "parser/grammar.h"
#include "parser/step_table.h"
#include "parser/attribute_run.h"
#include "parser/attributed_tag_run.h"
#include "parser/content_run.h"
#include "parser/leaf_element_run.h"
#include "parser/name_tag_run.h"
#include "parser/token_rules.h"
#include "scanner/token.h"

namespace xml2slist {
namespace {

struct StateRow {
  int default_rule;
  std::map<int, int> shifts;   // token -> state
  std::map<int, int> reduces;  // token -> rule
};

const int lt = open_angle, eq = equals_sign, gt = close_angle;

const std::vector<StateRow> automaton = {
    /* 0 */ {0, {{lt, 3}, {PROTO1S, 1}, {PROTO2S, 2}}, {}},
    /* 1 */ {0, {{WORD, 10}}, {}},
    /* 2 */ {6, {}, {}},
    /* 3 */ {0, {{WORD, 12}}, {}},
    /* 4 */ {0, {}, {}},
    /* 5 */ {0, {{lt, 3}, {PROTO1S, 1}, {PROTO2S, 2}}, {}},
    /* 6 */ {2, {}, {}},
    /* 7 */ {3, {}, {}},
    /* 8 */ {0, {{lt, 3}, {eq, 17}, {WORD, 15}, {STRING, 16}}, {{ETAGS, 38}}},
    /* 9 */ {17, {}, {}},
    /* 10 */ {0, {{WORD, 22}}, {}},
    /* 11 */ {0, {{PROTO1S, 1}, {PROTO2S, 2}, {WORD, 25}, {STRING, 26}}, {}},
    /* 12 */ {0, {{gt, 32}, {ETAGE, 30}, {WORD, 31}}, {}},
    /* 13 */ {1, {}, {}},
    /* 14 */ {4, {}, {}},
    /* 15 */ {25, {}, {}},
    /* 16 */ {27, {}, {}},
    /* 17 */ {26, {}, {}},
    /* 18 */ {20, {}, {}},
    /* 19 */ {0, {{ETAGS, 35}}, {{lt, 23}, {eq, 21}, {WORD, 21}, {STRING, 21}}},
    /* 20 */ {18, {}, {}},
    /* 21 */ {19, {}, {}},
    /* 22 */ {0, {{eq, 39}}, {}},
    /* 23 */ {0, {{PROTO1E, 40}, {WORD, 22}}, {}},
    /* 24 */ {8, {}, {}},
    /* 25 */ {13, {}, {}},
    /* 26 */ {14, {}, {}},
    /* 27 */ {15, {}, {}},
    /* 28 */ {0, {{gt, 42}, {PROTO1S, 1}, {PROTO2S, 2}, {WORD, 25}, {STRING, 26}}, {}},
    /* 29 */ {11, {}, {}},
    /* 30 */ {31, {}, {}},
    /* 31 */ {0, {{eq, 44}}, {}},
    /* 32 */ {28, {}, {}},
    /* 33 */ {0, {{gt, 46}, {ETAGE, 45}, {WORD, 31}}, {}},
    /* 34 */ {33, {}, {}},
    /* 35 */ {0, {{WORD, 48}}, {}},
    /* 36 */ {16, {}, {}},
    /* 37 */ {0, {{eq, 17}, {WORD, 15}, {STRING, 16}}, {}},
    /* 38 */ {0, {{lt, 3}}, {}},
    /* 39 */ {0, {{STRING, 51}}, {}},
    /* 40 */ {5, {}, {}},
    /* 41 */ {9, {}, {}},
    /* 42 */ {7, {}, {}},
    /* 43 */ {12, {}, {}},
    /* 44 */ {0, {{STRING, 52}}, {{gt, 38}, {ETAGE, 38}, {WORD, 38}}},
    /* 45 */ {32, {}, {}},
    /* 46 */ {29, {}, {}},
    /* 47 */ {34, {}, {}},
    /* 48 */ {0, {{gt, 55}}, {}},
    /* 49 */ {22, {}, {}},
    /* 50 */ {24, {}, {}},
    /* 51 */ {10, {}, {}},
    /* 52 */ {36, {}, {}},
    /* 53 */ {37, {}, {}},
    /* 54 */ {35, {}, {}},
    /* 55 */ {30, {}, {}},
};

struct GotoRow {
  std::map<int, int> explicit_entries;  // uncovered state -> state
  int otherwise;
};

const std::vector<GotoRow> gotos = {
    {{}, 4},                              // vk_file
    {{}, 5},                              // protocols
    {{{5, 13}, {8, 18}, {38, 50}}, 6},    // element
    {{{0, 7}, {5, 14}}, 27},              // protocol
    {{}, 23},                             // defs
    {{}, 28},                             // defs2
    {{}, 11},                             // $$1
    {{{23, 41}}, 24},                     // def
    {{{28, 43}}, 29},                     // def2
    {{}, 8},                              // stag
    {{}, 19},                             // body
    {{}, 36},                             // etag
    {{}, 9},                              // tag
    {{{44, 53}}, 20},                     // empty
    {{{37, 49}}, 21},                     // word
    {{}, 37},                             // $$2
    {{}, 38},                             // $$3
    {{}, 33},                             // attrlists
    {{{33, 47}}, 34},                     // attrlist
    {{}, 54},                             // string
};

std::vector<int> all_tokens() {
  std::vector<int> tokens;
  for (int t = 0; t <= highest_token; ++t) tokens.push_back(t);
  return tokens;
}

TEST(ParseTables, PackedActionsMatchTheAutomaton) {
  ASSERT_EQ(static_cast<std::size_t>(state_count), automaton.size());
  for (int state = 0; state < state_count; ++state) {
    const StateRow& row = automaton[static_cast<std::size_t>(state)];
    EXPECT_EQ(row.default_rule, default_reduction[static_cast<std::size_t>(state)]) << "state " << state;
    for (const int token : all_tokens()) {
      const auto shift = row.shifts.find(token);
      const auto reduce = row.reduces.find(token);
      EXPECT_EQ(shift == row.shifts.end() ? -1 : shift->second,
                packed_lookup(shift_index[static_cast<std::size_t>(state)], token))
          << "shift in state " << state << " on token " << token;
      EXPECT_EQ(reduce == row.reduces.end() ? -1 : reduce->second,
                packed_lookup(reduce_index[static_cast<std::size_t>(state)], token))
          << "reduction in state " << state << " on token " << token;
    }
  }
}

TEST(ParseTables, PackedGotosMatchTheGotoTable) {
  for (int symbol = 0; symbol < nonterminal_count; ++symbol) {
    const GotoRow& row = gotos[static_cast<std::size_t>(symbol)];
    EXPECT_EQ(row.otherwise, default_goto[static_cast<std::size_t>(symbol)]) << "nonterminal " << symbol;
    for (int state = 0; state < state_count; ++state) {
      const auto entry = row.explicit_entries.find(state);
      EXPECT_EQ(entry == row.explicit_entries.end() ? -1 : entry->second,
                packed_lookup(goto_index[static_cast<std::size_t>(symbol)], state))
          << "goto of nonterminal " << symbol << " from state " << state;
    }
  }
}

TEST(ParseTables, StepTableUnfoldsTheSameAutomaton) {
  for (int state = 0; state < state_count; ++state) {
    const StateRow& row = automaton[static_cast<std::size_t>(state)];
    if (row.default_rule != 0) continue;  // the engine reduces without a look-ahead there
    for (int kind = 0; kind < token_kind_count; ++kind) {
      const int token = kind_tokens[static_cast<std::size_t>(kind)];
      ASSERT_EQ(kind, token_kind(token));
      const auto shift = row.shifts.find(token);
      const auto reduce = row.reduces.find(token);
      const int expected = shift != row.shifts.end() ? shift->second : reduce != row.reduces.end() ? -reduce->second : 0;
      EXPECT_EQ(expected, step_table.action[static_cast<std::size_t>(state)][static_cast<std::size_t>(kind)])
          << "state " << state << " token " << token;
    }
  }
  for (int symbol = 0; symbol < nonterminal_count; ++symbol) {
    const GotoRow& row = gotos[static_cast<std::size_t>(symbol)];
    for (int state = 0; state < state_count; ++state) {
      const auto entry = row.explicit_entries.find(state);
      EXPECT_EQ(entry == row.explicit_entries.end() ? row.otherwise : entry->second,
                step_table.go[static_cast<std::size_t>(symbol)][static_cast<std::size_t>(state)]);
    }
  }
  EXPECT_EQ(-1, token_kind(error_token));
  EXPECT_EQ(-1, token_kind(1));
}

TEST(ParseTables, RulesAgreeWithTheirDisplayStrings) {
  // The left side and length of each rule can be read off its display string.
  const std::vector<std::string_view> nonterminal_names = {
      "vk_file", "protocols", "element", "protocol", "defs", "defs2", "$$1", "def", "def2", "stag",
      "body", "etag", "tag", "empty", "word", "$$2", "$$3", "attrlists", "attrlist", "string"};
  for (int rule = 1; rule < rule_count; ++rule) {
    const std::string_view text = rule_strings[static_cast<std::size_t>(rule)];
    const std::size_t colon = text.find(" :");
    ASSERT_NE(std::string_view::npos, colon) << text;
    EXPECT_EQ(nonterminal_names[static_cast<std::size_t>(rule_lhs[static_cast<std::size_t>(rule)])],
              text.substr(0, colon))
        << "rule " << rule;
    int symbols = 0;
    for (std::size_t i = colon + 2; i < text.size(); ++i) {
      if (text[i] == ' ' && i + 1 < text.size()) ++symbols;
    }
    EXPECT_EQ(symbols, rule_length[static_cast<std::size_t>(rule)]) << "rule " << rule << ": " << text;
  }
}

TEST(ParseTables, TokenRulesHaveOneValueTokenOnTheRight) {
  int found = 0;
  for (int rule = 1; rule < rule_count; ++rule) {
    const std::string_view text = rule_strings[static_cast<std::size_t>(rule)];
    const std::string_view right = text.substr(text.find(" : ") + 3);
    const bool one_value_token = right == "WORD" || right == "STRING";
    EXPECT_EQ(one_value_token, token_rules::is_token_rule(rule)) << "rule " << rule << ": " << text;
    found += one_value_token ? 1 : 0;
  }
  EXPECT_EQ(static_cast<int>(token_rules::value_rules.size()), found);
}

TEST(Grammar, TokenDisplayNames) {
  EXPECT_EQ("end-of-file", token_display_name(0));
  EXPECT_EQ("'<'", token_display_name('<'));
  EXPECT_EQ("STRING", token_display_name(STRING));
  EXPECT_EQ("illegal-symbol", token_display_name(1));
  EXPECT_EQ("illegal-symbol", token_display_name(error_token));
  EXPECT_EQ("illegal-symbol", token_display_name(264));
}

}  // namespace
}  // namespace xml2slist

namespace xml2slist {
namespace {

// The rule numbers the attribute, tag, start tag and leaf element steps are
// built on are the grammar's.
TEST(ParseTables, TagStepRulesAreTheGrammars) {
  EXPECT_EQ("attrlist : WORD '=' string", rule_strings[attribute_run::attribute_rule]);
  EXPECT_EQ(attribute_run::attribute_length, rule_length[attribute_run::attribute_rule]);
  EXPECT_EQ("string : STRING", rule_strings[attribute_run::string_rule]);
  EXPECT_EQ("stag : '<' WORD '>'", rule_strings[name_tag_run::start_tag_rule]);
  EXPECT_EQ("etag : ETAGS WORD '>'", rule_strings[name_tag_run::end_tag_rule]);
  EXPECT_EQ(name_tag_run::tag_length, rule_length[name_tag_run::start_tag_rule]);
  EXPECT_EQ(name_tag_run::tag_length, rule_length[name_tag_run::end_tag_rule]);
  EXPECT_EQ("body : word", rule_strings[content_run::first_item_rule]);
  EXPECT_EQ("element : stag body etag", rule_strings[leaf_element_run::element_rule]);
  EXPECT_EQ("attrlists : attrlist", rule_strings[attributed_tag_run::first_attribute_rule]);
  EXPECT_EQ("attrlists : attrlists attrlist", rule_strings[attributed_tag_run::more_attributes_rule]);
  EXPECT_EQ("stag : '<' WORD attrlists '>'", rule_strings[attributed_tag_run::start_tag_rule]);
  EXPECT_EQ("tag : '<' WORD attrlists ETAGE", rule_strings[attributed_tag_run::empty_tag_rule]);
}

}  // namespace
}  // namespace xml2slist

namespace xml2slist {
namespace {

// The rule names must follow the order of the rule strings, or an action
// would run at another rule's reduction.
TEST(ParseTables, RuleNamesMatchTheirRules) {
  const std::vector<std::pair<int, std::string_view>> named = {
      {rules::file_with_prologue, "vk_file : protocols element"},
      {rules::file_without_prologue, "vk_file : element"},
      {rules::declaration_start, "$$1 :"},
      {rules::declaration_word, "def2 : WORD"},
      {rules::declaration_string, "def2 : STRING"},
      {rules::element_with_body, "element : stag body etag"},
      {rules::body_first_word, "body : word"},
      {rules::body_first_element, "body : element"},
      {rules::separator, "$$2 :"},
      {rules::body_more_word, "body : body $$2 word"},
      {rules::before_element, "$$3 :"},
      {rules::body_more_element, "body : body $$3 element"},
      {rules::word_of_word, "word : WORD"},
      {rules::word_of_equals, "word : '='"},
      {rules::word_of_string, "word : STRING"},
      {rules::start_tag, "stag : '<' WORD '>'"},
      {rules::start_tag_with_attributes, "stag : '<' WORD attrlists '>'"},
      {rules::end_tag, "etag : ETAGS WORD '>'"},
      {rules::empty_tag_with_attributes, "tag : '<' WORD attrlists ETAGE"},
      {rules::first_attribute, "attrlists : attrlist"},
      {rules::more_attributes, "attrlists : attrlists attrlist"},
      {rules::attribute, "attrlist : WORD '=' string"},
      {rules::string_of_string, "string : STRING"},
      {rules::empty, "empty :"},
  };
  for (const auto& [number, text] : named) EXPECT_EQ(rule_strings[static_cast<std::size_t>(number)], text);
}

}  // namespace
}  // namespace xml2slist
