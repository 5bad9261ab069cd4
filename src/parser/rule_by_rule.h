#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "parser/attribute_run.h"
#include "parser/attributed_tag_run.h"
#include "parser/content_run.h"
#include "parser/leaf_element_run.h"
#include "parser/name_tag_run.h"
#include "scanner/token.h"

namespace xml2slist {

// For tools and tests that look at rules alone: each shortcut goes through
// `Derived`'s reduce(rule, slots) as the single rules it stands for, in its
// steps' order. Only WORD and STRING values are read; other slots stay empty.
template <typename Derived>
class RuleByRule {
 public:
  void reduce_word(int rule, std::string_view value) {
    std::array<std::string, 3> slots{std::string(value), std::string(), std::string()};
    self().reduce(rule, slots.data());
  }
  void reduce_further_word(int word_rule, std::string_view value, std::string* body) {
    self().reduce(content_run::separator_rule, body + 1);
    reduce_word(word_rule, value);
    self().reduce(content_run::extend_rule, body);
  }
  void reduce_further_tokens(const RunToken* tokens, std::size_t count, std::string* body) {
    for (std::size_t i = 0; i < count; ++i) {
      each_word(tokens[i], [&](int rule, std::string_view word) { reduce_further_word(rule, word, body); });
    }
  }
  void reduce_attribute(std::string_view name, std::string_view value) {
    reduce_word(attribute_run::string_rule, value);
    std::array<std::string, attribute_run::attribute_length> slots{std::string(name), std::string(), std::string()};
    self().reduce(attribute_run::attribute_rule, slots.data());
  }
  void reduce_name_tag(int rule, std::string_view name) {
    std::array<std::string, name_tag_run::tag_length> slots{std::string(), std::string(name), std::string()};
    self().reduce(rule, slots.data());
  }
  void reduce_attributed_tag(std::string_view name, const TagAttribute* attributes, std::size_t count, bool empty) {
    std::array<std::string, 4> slots{std::string(), std::string(name), std::string(), std::string()};
    for (std::size_t i = 0; i < count; ++i) {
      reduce_attribute(attributes[i].name, attributes[i].value);
      self().reduce(i == 0 ? attributed_tag_run::first_attribute_rule : attributed_tag_run::more_attributes_rule,
                    slots.data());
    }
    self().reduce(empty ? attributed_tag_run::empty_tag_rule : attributed_tag_run::start_tag_rule, slots.data());
  }
  void reduce_leaf_element(const LeafElement& leaf) {
    std::array<std::string, name_tag_run::tag_length> slots;
    reduce_name_tag(name_tag_run::start_tag_rule, leaf.name);
    bool first = true;
    for (std::size_t i = 0; i < leaf.count; ++i) {
      each_word(leaf.tokens[i], [&](int rule, std::string_view word) {
        if (first) {
          reduce_word(rule, word);
          self().reduce(content_run::first_item_rule, slots.data());
          first = false;
        } else {
          reduce_further_word(rule, word, slots.data());
        }
      });
    }
    reduce_name_tag(name_tag_run::end_tag_rule, leaf.end_name);
    self().reduce(leaf_element_run::element_rule, slots.data());
  }

 private:
  Derived& self() { return static_cast<Derived&>(*this); }
  // Calls `each` with the rule and value of each token a run token stands for.
  template <typename Each>
  static void each_word(const RunToken& token, Each&& each) {
    if (token.token == WORD_SPAN) {
      for_each_span_word(token.value(), [&](std::string_view word) { each(content_run::word_rule_word, word); });
    } else {
      each(content_run::word_rule(token.token), token.value());
    }
  }
};

}  // namespace xml2slist
