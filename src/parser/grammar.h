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

// Rule numbers, in the order of rule_strings (ORDER RULES); the actions and
// the parser's shortcuts name rules only through these.
namespace rules {
enum : int {
  accept,                     // $accept : vk_file
  file_with_prologue,         // vk_file : protocols element
  file_without_prologue,      // vk_file : element
  first_protocol,             // protocols : protocol
  more_protocols,             // protocols : protocols protocol
  instruction,                // protocol : PROTO1S WORD defs PROTO1E
  declaration_start,          // $$1 :
  declaration,                // protocol : PROTO2S $$1 defs2 '>'
  first_def,                  // defs : def
  more_defs,                  // defs : defs def
  def_pair,                   // def : WORD '=' STRING
  first_def2,                 // defs2 : def2
  more_def2,                  // defs2 : defs2 def2
  declaration_word,           // def2 : WORD
  declaration_string,         // def2 : STRING
  nested_declaration,         // def2 : protocol
  element_with_body,          // element : stag body etag
  element_of_tag,             // element : tag
  empty_body,                 // body : empty
  body_first_word,            // body : word
  body_first_element,         // body : element
  separator,                  // $$2 :
  body_more_word,             // body : body $$2 word
  before_element,             // $$3 :
  body_more_element,          // body : body $$3 element
  word_of_word,               // word : WORD
  word_of_equals,             // word : '='
  word_of_string,             // word : STRING
  start_tag,                  // stag : '<' WORD '>'
  start_tag_with_attributes,  // stag : '<' WORD attrlists '>'
  end_tag,                    // etag : ETAGS WORD '>'
  empty_tag,                  // tag : '<' WORD ETAGE
  empty_tag_with_attributes,  // tag : '<' WORD attrlists ETAGE
  first_attribute,            // attrlists : attrlist
  more_attributes,            // attrlists : attrlists attrlist
  attribute,                  // attrlist : WORD '=' string
  string_of_string,           // string : STRING
  string_of_empty,            // string : empty
  empty,                      // empty :
  count,
};
}  // namespace rules
static_assert(rules::count == rule_count);

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
