#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_stream.h"
#include "translate/element_path.h"
#include "translate/r_code.h"
#include "translate/text_buffer.h"
#include "translate/text_item.h"

namespace xml2slist {

// Writes an element's character content into numbered positions (slots) of
// its list: a text run's slot reference when its first word is collected,
// the value when the run ends.
class ContentOutput {
 public:
  // With `r_code`, each text goes to it when its run ends, and a vector's
  // items are also gathered as R values.
  ContentOutput(OutputStream& out, ElementPath& path, RCode* r_code = nullptr)
      : out_(out), path_(path), r_code_(r_code) {}

  // Inside a start tag, the value of the attribute being read.
  std::string& attribute_value() { return attribute_value_; }

  // Appends a word of content (an S string in ordinary elements, so its
  // backslashes are escaped; S code as it stands in vector elements).
  void append_word(std::string_view word);
  // Appends an '=' of content, a word of its own.
  void add_equals_sign() {
    run_.push_back('=');
    if (r_code_ != nullptr && path_.current_is_vector()) RCode::append_vector_item(r_items_, "=", false);
  }
  // Appends a quoted string of content with its quotes escaped.
  void add_quoted_string(std::string_view token);
  // Appends the separator of the current element: ',' in a vector, else ' '.
  void add_separator() { run_.push_back(path_.current_is_vector() ? ',' : ' '); }
  // A further item of a run in one call: the separator, the item, and the
  // slot opened if it is not yet.
  void add_further_word(ContentWord kind, std::string_view value);
  // Appends the first item of a run read ahead: a word, '=', quoted string
  // or words in a row, as its own rule would.
  void add_first_item(TextItem item);
  // `count` further items of a run in one call.
  void add_further_items(const TextItem* items, std::size_t count);

  // Opens a slot for the current element unless one is open.
  void open_slot();
  // Ends the current text run, writing its value if a slot is pending.
  void flush_text();
  // Completes a slot whose reference is written and whose value is not.
  void complete_open_slot() {
    if (slot_open_) flush_text();
  }
  // Whether a slot's reference is written and its value is not.
  bool slot_is_open() const { return slot_open_; }
  // Forgets the run being collected and its slot, whose statements were taken back.
  void drop_run() {
    slot_open_ = false;
    run_.clear(large_text);
    r_items_.clear(large_text);
  }

  // The first content item of a body sets the position counter.
  void set_slot_counter(std::int64_t value) { counter() = value; }
  // A further child element takes the next position.
  void advance_slot_counter() { ++counter(); }

 private:
  // The position counter of the current element.
  std::int64_t& counter() {
    const auto depth = static_cast<std::size_t>(path_.element_depth());
    if (depth >= slot_counter_.size()) [[unlikely]] add_counters(depth);
    return slot_counter_[depth];
  }
  void add_counters(std::size_t depth);
  void append_word(std::string_view word, bool vector);
  // An item of a run read ahead, without a separator before it.
  void add_item(TextItem item, bool vector);

  // The words of a `words` item as items of an R vector.
  void add_r_vector_words(std::string_view span);
  // The run, ended, to the R code with its position.
  void give_run_to_r_code();

  OutputStream& out_;
  ElementPath& path_;
  RCode* r_code_;
  TextBuffer run_;                // the text run being collected
  TextBuffer r_items_;            // with r_code_, a vector run's items as R values
  std::string attribute_value_;
  std::vector<std::int64_t> slot_counter_;  // by element depth; an element may have more than 2^31 items
  bool slot_open_ = false;
};

}  // namespace xml2slist
