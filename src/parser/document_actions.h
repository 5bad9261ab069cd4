#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "output/reporter.h"
#include "parser/parse_engine.h"
#include "translate/translator.h"

namespace xml2slist {

// A run token as the translation's item, its kind told without a branch: word,
// string and span token numbers follow each other as their kinds do.
inline TextItem text_item(const RunToken& token) {
  static_assert(STRING - WORD == static_cast<int>(ContentWord::quoted_string) &&
                WORD_SPAN - WORD == static_cast<int>(ContentWord::words));
  const int kind = token.token >= WORD ? token.token - WORD : static_cast<int>(ContentWord::equals_sign);
  return {static_cast<ContentWord>(kind), token.value()};
}

// A span of the scanner is taken whole as a `words` item only if both cut
// it into words at the same bytes.
constexpr bool spans_are_words_items() {
  for (int c = 0; c < 256; ++c) {
    if (is_span_separator(static_cast<char>(c)) != separates_words(static_cast<char>(c))) return false;
  }
  return true;
}
static_assert(spans_are_words_items());

// The actions of the document grammar: what each rule does is one named
// operation below, written once for both the rule switch and the shortcuts.
class DocumentActions {
 public:
  DocumentActions(Translator& translator, Reporter& reporter) : translator_(translator), reporter_(reporter) {}

  void reduce(int rule, std::string* slots);
  void reduce_word(int rule, std::string_view value);
  void reduce_further_word(int word_rule, std::string_view value, std::string* body);
  void reduce_further_tokens(const RunToken* tokens, std::size_t count, std::string*) {
    add_further_tokens(tokens, count);
  }
  // A value no entity can replace is what its own rule would build.
  void reduce_attribute(std::string_view name, std::string_view value) {
    if (translator_.content.attribute_value().empty() && !translator_.entities.may_replace(value)) {
      translator_.attributes.add_attribute(name, value);
      return;
    }
    add_attribute_string(value);
    add_attribute(name);
  }
  void reduce_name_tag(int rule, std::string_view name) {
    if (rule == rules::start_tag) {
      open_element(name);
    } else {
      close_element();
    }
  }
  // Each attribute reads as met right after its value, should its Id be a
  // repeat; then the end of the tag, which also closes an empty element.
  void reduce_attributed_tag(std::string_view name, const TagAttribute* attributes, std::size_t count,
                             bool empty) {
    struct PlaceOfReadingAgain {
      Reporter& reporter;
      ~PlaceOfReadingAgain() { reporter.read_at_current(); }
    } again{reporter_};
    for (std::size_t i = 0; i < count; ++i) {
      const TagAttribute& attribute = attributes[i];
      // The text read ahead after a value is the value without its closing quote.
      reporter_.read_at(attribute.line, attribute.value.substr(0, attribute.value.size() - 1));
      reduce_attribute(attribute.name, attribute.value);
    }
    reporter_.read_at_current();
    open_element_with_attributes(name);
    if (empty) close_empty_element();
  }
  // The leaf's rules in order, but the slot is opened before the first item is
  // added, which writes nothing either way.
  void reduce_leaf_element(const LeafElement& leaf) {
    open_element(leaf.name);
    start_text_body();
    translator_.content.add_first_item(text_item(leaf.tokens[0]));
    if (leaf.count > 1) add_further_tokens(leaf.tokens + 1, leaf.count - 1);
    close_element();
  }
  // An Id value still waiting for its check was met first.
  void report_xml_error(std::string_view message) {
    translator_.attributes.check_waiting_id();
    reporter_.report_xml_error(message);
  }

  // What the rules do.
  // vk_file : element; an Id still waiting was met first.
  void warn_missing_prologue() {
    translator_.attributes.check_waiting_id();
    reporter_.warn_missing_prologue();
  }
  // $$1 :
  void start_declaration() { translator_.entities.reset_state(); }
  // def2 : WORD, def2 : STRING
  void add_declaration_token(std::string_view text, bool is_word) {
    translator_.entities.record_entity_token(text, is_word);
  }
  // stag : '<' WORD '>'; a name held in a slot may be taken over.
  template <typename Name>
  void open_element(Name& name) {
    translator_.content.flush_text();
    translator_.path.push_member(name);
    translator_.path.open_list();
  }
  void open_element(std::string_view name) { open_element<std::string_view>(name); }
  // stag : '<' WORD attrlists '>': the tag's Id value is checked before its
  // statements are written, or waits on while they can be taken back. Out of
  // line, so that the rule switch holds fewer values across its calls.
  template <typename Name>
  [[gnu::noinline]] void open_element_with_attributes(Name& name) {
    translator_.attributes.let_waiting_id_pass_tag();
    translator_.content.flush_text();
    translator_.path.push_member(name);
    translator_.attributes.write_attributes();
  }
  void open_element_with_attributes(std::string_view name) { open_element_with_attributes<std::string_view>(name); }
  // tag : '<' WORD attrlists ETAGE, after the element is opened
  void close_empty_element() { translator_.path.pop_member(); }
  // etag : ETAGS WORD '>'
  void close_element() {
    translator_.content.flush_text();
    translator_.path.pop_member();
  }
  // body : word
  void start_text_body() {
    translator_.content.set_slot_counter(0);
    translator_.content.open_slot();
  }
  // body : element
  void start_element_body() { translator_.content.set_slot_counter(1); }
  // $$2 :
  void separate_text_item() { translator_.content.add_separator(); }
  // body : body $$2 word
  void continue_text() { translator_.content.open_slot(); }
  // $$3 :
  void end_text_before_element() { translator_.content.flush_text(); }
  // body : body $$3 element
  void count_element_item() { translator_.content.advance_slot_counter(); }
  // word : WORD, word : '=', word : STRING
  void add_word(std::string_view word) { translator_.content.append_word(word); }
  void add_equals_sign() { translator_.content.add_equals_sign(); }
  void add_quoted_string(std::string_view text) { translator_.content.add_quoted_string(text); }
  // string : STRING
  void add_attribute_string(std::string_view value) {
    translator_.entities.add_attribute_string(value, translator_.content.attribute_value());
  }
  // attrlist : WORD '=' string
  template <typename Name>
  void add_attribute(const Name& name) {
    translator_.attributes.add_attribute(name, translator_.content.attribute_value());
  }

 private:
  // Further tokens of a run, handed to the translation as its items.
  void add_further_tokens(const RunToken* tokens, std::size_t count) {
    for (std::size_t done = 0; done < count; done += items_.size()) {
      const std::size_t now = std::min(items_.size(), count - done);
      for (std::size_t i = 0; i < now; ++i) items_[i] = text_item(tokens[done + i]);
      translator_.content.add_further_items(items_.data(), now);
    }
  }

  Translator& translator_;
  Reporter& reporter_;
  std::array<TextItem, 32> items_;  // a batch of run tokens as the translation's items
};

// Inline, so that the engine's loop can take the switch in directly.
[[gnu::always_inline]] inline void DocumentActions::reduce(int rule, std::string* slots) {
  switch (rule) {
    case rules::file_without_prologue: return warn_missing_prologue();
    case rules::declaration_start: return start_declaration();
    case rules::declaration_word: return add_declaration_token(slots[0], true);
    case rules::declaration_string: return add_declaration_token(slots[0], false);
    case rules::body_first_word: return start_text_body();
    case rules::body_first_element: return start_element_body();
    case rules::separator: return separate_text_item();
    case rules::body_more_word: return continue_text();
    case rules::before_element: return end_text_before_element();
    case rules::body_more_element: return count_element_item();
    case rules::word_of_word: return add_word(slots[0]);
    case rules::word_of_equals: return add_equals_sign();
    case rules::word_of_string: return add_quoted_string(slots[0]);
    case rules::start_tag: return open_element(slots[1]);
    case rules::start_tag_with_attributes: return open_element_with_attributes(slots[1]);
    case rules::end_tag: return close_element();
    case rules::empty_tag_with_attributes:
      open_element_with_attributes(slots[1]);
      return close_empty_element();
    case rules::attribute: return add_attribute(slots[0]);
    case rules::string_of_string: return add_attribute_string(slots[0]);
    default: return;  // the other rules have no action
  }
}

// The rules of one token, with the token's value read in place.
inline void DocumentActions::reduce_word(int rule, std::string_view value) {
  switch (rule) {
    case rules::declaration_word: return add_declaration_token(value, true);
    case rules::declaration_string: return add_declaration_token(value, false);
    case rules::word_of_word: return add_word(value);
    case rules::word_of_equals: return add_equals_sign();
    case rules::word_of_string: return add_quoted_string(value);
    case rules::string_of_string: return add_attribute_string(value);
    default: return;  // no other rule has a single value token
  }
}

// `$$2 :`, the word's rule and `body : body $$2 word` in one call.
inline void DocumentActions::reduce_further_word(int word_rule, std::string_view value, std::string*) {
  const ContentWord kind = word_rule == rules::word_of_word     ? ContentWord::word
                           : word_rule == rules::word_of_equals ? ContentWord::equals_sign
                                                                : ContentWord::quoted_string;
  translator_.content.add_further_word(kind, value);
}

}  // namespace xml2slist
