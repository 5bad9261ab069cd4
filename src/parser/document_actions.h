#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "output/reporter.h"
#include "parser/parse_engine.h"
#include "translate/translator.h"

namespace xml2slist {

// The translation's item for a token of a run read ahead, its kind told
// without a branch: the token numbers of a word, a string and a span follow
// each other as their kinds do.
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

// The per-rule actions of the document grammar.
class DocumentActions final : public ParseActions {
 public:
  DocumentActions(Translator& translator, Reporter& reporter) : translator_(translator), reporter_(reporter) {}

  void reduce(int rule, std::string* slots) override;
  void reduce_word(int rule, std::string_view value) override;
  void reduce_further_word(int word_rule, std::string_view value, std::string* body) override;
  void reduce_attribute(int string_rule, int rule, std::string_view name, std::string_view value) override {
    (void)rule;
    std::string& built = translator_.content.attribute_value();
    if (built.empty() && !translator_.entities.may_replace(value)) {
      translator_.attributes.add_attribute(name, value);  // what the value's action would build
      return;
    }
    reduce_word(string_rule, value);
    translator_.attributes.add_attribute(name, built);
  }
  void reduce_name_tag(int rule, std::string_view name) override {
    translator_.content.flush_text();
    if (rule == rules::start_tag) {  // stag : '<' WORD '>'
      translator_.path.push_member(name);
      translator_.path.open_list();
    } else {  // etag : ETAGS WORD '>'
      translator_.path.pop_member();
    }
  }
  // Each attribute as its own step would take it, reading as met right after
  // its value should its Id be a repeat, then the end of the tag (which
  // also closes an empty element).
  void reduce_attributed_tag(std::string_view name, const TagAttribute* attributes, std::size_t count,
                             bool empty) override {
    struct PlaceOfReadingAgain {
      Reporter& reporter;
      ~PlaceOfReadingAgain() { reporter.read_at_current(); }
    } again{reporter_};
    for (std::size_t i = 0; i < count; ++i) {
      const TagAttribute& attribute = attributes[i];
      // The text read ahead after a value is the value without its closing quote.
      reporter_.read_at(attribute.line, attribute.value.substr(0, attribute.value.size() - 1));
      reduce_attribute(attribute_run::string_rule, attribute_run::attribute_rule, attribute.name, attribute.value);
    }
    reporter_.read_at_current();
    open_attributed_element(name);
    if (empty) translator_.path.pop_member();
  }
  // What the start tag, the text's first item, `body : word`, its further
  // items and the end tag would do one by one. The first item is added
  // before its slot is opened there, but adding writes nothing.
  void reduce_leaf_element(const LeafElement& leaf) override {
    ContentOutput& content = translator_.content;
    content.flush_text();
    translator_.path.push_member(leaf.name);
    translator_.path.open_list();
    content.set_slot_counter(0);
    content.open_slot();
    content.add_first_item(text_item(leaf.tokens[0]));
    if (leaf.count > 1) add_further_tokens(leaf.tokens + 1, leaf.count - 1);
    content.flush_text();
    translator_.path.pop_member();
  }
  void reduce_further_tokens(const RunToken* tokens, std::size_t count, std::string* body) override {
    (void)body;
    add_further_tokens(tokens, count);
  }
  // An Id value still waiting for its check was met first.
  void report_xml_error(std::string_view message) override {
    translator_.attributes.check_waiting_id();
    reporter_.report_xml_error(message);
  }

 private:
  // The end of a start tag with attributes: the Id values read in it are
  // checked before its statements are written. Kept out of line, so that the
  // rule switch holds fewer values across its calls.
  template <typename Name>
  [[gnu::noinline]] void open_attributed_element(Name& name) {
    translator_.attributes.check_waiting_id();
    translator_.content.flush_text();
    translator_.path.push_member(name);
    translator_.attributes.write_attributes();
  }

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
inline void DocumentActions::reduce(int rule, std::string* slots) {
  ElementPath& path = translator_.path;
  ContentOutput& content = translator_.content;
  switch (rule) {
    case rules::file_without_prologue:  // vk_file : element
      reporter_.warn_missing_prologue();
      break;
    case rules::declaration_start:  // $$1 :
      translator_.entities.reset_state();
      break;
    case rules::declaration_word:  // def2 : WORD
      translator_.entities.record_entity_token(slots[0], true);
      break;
    case rules::declaration_string:  // def2 : STRING
      translator_.entities.record_entity_token(slots[0], false);
      break;
    case rules::body_first_word:  // body : word
      content.set_slot_counter(0);
      content.open_slot();
      break;
    case rules::body_first_element:  // body : element
      content.set_slot_counter(1);
      break;
    case rules::separator:  // $$2 :
      content.add_separator();
      break;
    case rules::body_more_word:  // body : body $$2 word
      content.open_slot();
      break;
    case rules::before_element:  // $$3 :
      content.flush_text();
      break;
    case rules::body_more_element:  // body : body $$3 element
      content.advance_slot_counter();
      break;
    case rules::word_of_word:  // word : WORD
      content.append_word(slots[0]);
      break;
    case rules::word_of_equals:  // word : '='
      content.add_equals_sign();
      break;
    case rules::word_of_string:  // word : STRING
      content.add_quoted_string(slots[0]);
      break;
    case rules::start_tag:  // stag : '<' WORD '>'
      content.flush_text();
      path.push_member(slots[1]);
      path.open_list();
      break;
    case rules::start_tag_with_attributes:  // stag : '<' WORD attrlists '>'
      open_attributed_element(slots[1]);
      break;
    case rules::end_tag:  // etag : ETAGS WORD '>'
      content.flush_text();
      path.pop_member();
      break;
    case rules::empty_tag_with_attributes:  // tag : '<' WORD attrlists ETAGE
      open_attributed_element(slots[1]);
      path.pop_member();
      break;
    case rules::attribute:  // attrlist : WORD '=' string
      translator_.attributes.add_attribute(slots[0], content.attribute_value());
      break;
    case rules::string_of_string:  // string : STRING
      translator_.entities.add_attribute_string(slots[0], content.attribute_value());
      break;
    default:  // the other rules have no action
      break;
  }
}

// The rules of one token, with the token's value read in place.
inline void DocumentActions::reduce_word(int rule, std::string_view value) {
  ContentOutput& content = translator_.content;
  switch (rule) {
    case rules::declaration_word:  // def2 : WORD
      translator_.entities.record_entity_token(value, true);
      break;
    case rules::declaration_string:  // def2 : STRING
      translator_.entities.record_entity_token(value, false);
      break;
    case rules::word_of_word:  // word : WORD
      content.append_word(value);
      break;
    case rules::word_of_equals:  // word : '='
      content.add_equals_sign();
      break;
    case rules::word_of_string:  // word : STRING
      content.add_quoted_string(value);
      break;
    case rules::string_of_string:  // string : STRING
      translator_.entities.add_attribute_string(value, content.attribute_value());
      break;
    default:
      ParseActions::reduce_word(rule, value);
      break;
  }
}

// `$$2 :`, the word's rule and `body : body $$2 word` in one call.
inline void DocumentActions::reduce_further_word(int word_rule, std::string_view value, std::string*) {
  const ContentWord kind = word_rule == rules::word_of_word     ? ContentWord::word            // word : WORD
                           : word_rule == rules::word_of_equals ? ContentWord::equals_sign     // word : '='
                                             : ContentWord::quoted_string;  // word : STRING
  translator_.content.add_further_word(kind, value);
}

}  // namespace xml2slist
