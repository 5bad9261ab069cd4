#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_stream.h"
#include "output/reporter.h"
#include "translate/content_output.h"
#include "translate/element_path.h"
#include "translate/id_registry.h"
#include "translate/name_map.h"
#include "translate/r_code.h"
#include "translate/text_buffer.h"

namespace xml2slist {

// Records a start tag's attributes as they are parsed, writes them as
// attr() statements once the element is named, and keeps the values of all
// Id attributes, which must be unique in the document.
class Attributes {
 public:
  // With `r_code`, the attributes go to it rather than into statements.
  Attributes(OutputStream& out, ElementPath& path, ContentOutput& content, Reporter& reporter,
             RCode* r_code = nullptr)
      : out_(out), path_(path), content_(content), reporter_(reporter), r_code_(r_code) {}

  // Records one attribute under its name with the character replacement. A
  // repeated Id value is reported and ends the run with status 1 (throws
  // RunEnd): at once, or when checks may wait, at the next
  // check_waiting_id().
  void add_attribute(std::string_view name, std::string_view value);
  // The same for a value built in a text buffer, which is emptied.
  void add_attribute(std::string_view name, std::string& value);
  // Writes the list creation and the attributes of the element just pushed.
  void write_attributes();

  // Lets the check of a short Id value wait until its start tag ends, so
  // that its place in the Id table comes from memory while the rest of the
  // tag is read. Whoever allows this calls check_waiting_id() before anything
  // else can be seen: at the end of the tag, before any other error, and
  // when the run stops early. The error then reads exactly as if found at once.
  void let_id_checks_wait(bool wait) { checks_wait_ = wait; }
  void check_waiting_id() {
    if (waiting_) check_waiting_id_now();
  }
  // At the end of a start tag, in place of check_waiting_id(): an Id still
  // waiting waits on past the tag, so that its place in the table has time
  // to come from memory, while all written from here on can be taken back:
  // until the next Id, error or flush of the output, or the end of the
  // run. A repeated Id then takes back the statements written since, and
  // reads exactly as if found here. It does not wait where that cannot be
  // done: with a text run's slot open, which the error would complete, or
  // for R code, which is not all in the output.
  void let_waiting_id_pass_tag();

 private:
  // Longer values are checked at once: hashing them is the larger cost, and
  // their read-ahead text need not be kept twice.
  static constexpr std::size_t longest_waiting_id = 256;

  // Where a row's name and value lie in texts_; a value held apart is
  // values_apart_[value_size].
  struct Row {
    std::size_t name_at;
    std::size_t name_size;
    std::size_t value_at;
    std::size_t value_size;
  };
  static constexpr std::size_t held_apart = static_cast<std::size_t>(-1);
  std::string_view name_of(const Row& row) const { return texts_.view().substr(row.name_at, row.name_size); }
  std::string_view value_of(const Row& row) const {
    return row.value_at == held_apart ? values_apart_[row.value_size]
                                      : texts_.view().substr(row.value_at, row.value_size);
  }

  // Appends the row's name with the character replacement, checks an Id.
  void add_row(std::string_view name, std::string_view value, Row row);
  void check_waiting_id_now();
  [[noreturn]] void report_duplicate(std::string_view value, const Reporter::Place* place);
  void write_escaped(std::string_view text);

  OutputStream& out_;
  ElementPath& path_;
  ContentOutput& content_;
  Reporter& reporter_;
  RCode* r_code_;
  TextBuffer texts_;       // the names and values of the tag's attributes
  std::vector<Row> rows_;  // reused between tags
  // Values built larger than large_text, kept without a copy: in
  // owned_values_, or an Id's in the Id table.
  std::vector<std::string_view> values_apart_;
  std::vector<std::string> owned_values_;
  IdRegistry id_table_;
  bool checks_wait_ = false;
  bool waiting_ = false;
  std::size_t waiting_row_ = 0;    // in rows_
  std::uint64_t waiting_hash_ = 0;
  Reporter::Place waiting_place_;  // where the value was read
  // Once past its tag: the value, and the output buffered at the tag's end.
  bool past_tag_ = false;
  std::string passed_value_;
  std::size_t passed_output_ = 0;
};

}  // namespace xml2slist
