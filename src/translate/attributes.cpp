#include "translate/attributes.h"

#include <utility>

#include "output/run_end.h"
#include "translate/content_output.h"
#include "translate/escaping.h"
#include "translate/statement_writer.h"

namespace xml2slist {

// Inline in the path of short values, the one taken for nearly every attribute.
// The name and `value` are read where they came from, not from the copies
// just made (reading back bytes just stored stalls); the replacement only
// writes '?', so the name is "Id" in both or in neither.
[[gnu::always_inline]] inline void Attributes::add_row(std::string_view name, std::string_view value, Row row) {
  row.name_at = texts_.size();
  row.name_size = name.size();
  append_name(texts_, name);
  // The row is in place before an Id waits on it: an allocation that fails
  // leaves no waiting Id pointing past the rows.
  rows_.push_back(row);
  if (name == "Id") {
    if (checks_wait_ && value.size() <= longest_waiting_id) {
      // Its place starts loading before the Id waiting from before is checked.
      const std::uint64_t hash = id_table_.prepare(value);
      check_waiting_id();
      waiting_hash_ = hash;
      reporter_.mark_place(waiting_place_);
      waiting_row_ = rows_.size() - 1;
      waiting_ = true;
    } else {
      check_waiting_id();
      if (!id_table_.insert(value)) report_duplicate(value, nullptr);
    }
  }
}

void Attributes::add_attribute(std::string_view name, std::string_view value) {
  const std::size_t value_at = texts_.size();
  texts_.append(value);
  add_row(name, value, Row{0, 0, value_at, value.size()});
}

void Attributes::add_attribute(std::string_view name, std::string& value) {
  if (value.size() <= large_text) {
    add_attribute(name, std::string_view(value));
    release_if_large(value);
    return;
  }
  // An Id value is kept by the Id table alone, and checked at once.
  const Row row{texts_.size(), name.size(), held_apart, values_apart_.size()};
  append_name(texts_, name);
  if (name == "Id") {
    check_waiting_id();  // a second Id in the same tag
    std::string_view kept;
    if (!id_table_.insert_large(value, kept)) report_duplicate(value, nullptr);
    values_apart_.push_back(kept);
  } else {
    owned_values_.emplace_back().swap(value);
    values_apart_.push_back(owned_values_.back());
  }
  rows_.push_back(row);
}

void Attributes::let_waiting_id_pass_tag() {
  if (!waiting_ || past_tag_) return;
  if (r_code_ != nullptr || content_.slot_is_open()) return check_waiting_id_now();
  passed_value_.assign(value_of(rows_[waiting_row_]));
  passed_output_ = out_.buffered();
  past_tag_ = true;
}

void Attributes::check_waiting_id_now() {
  waiting_ = false;
  const bool passed = std::exchange(past_tag_, false);
  const std::string_view value = passed ? passed_value_ : value_of(rows_[waiting_row_]);
  if (id_table_.insert_prepared(value, waiting_hash_)) return;
  if (passed) {  // as at the end of its tag, where no slot was open
    out_.take_back(passed_output_);
    content_.drop_run();
  }
  report_duplicate(value, &waiting_place_);
}

void Attributes::report_duplicate(std::string_view value, const Reporter::Place* place) {
  reporter_.report_message(std::string("Error: Id = ").append(value).append(" is  duplicate.\n"));
  if (place) {
    reporter_.report_xml_error("Id", *place);
  } else {
    reporter_.report_xml_error("Id");
  }
  throw RunEnd{1};
}

// Names and values are written into S strings: their backslashes are doubled.
void Attributes::write_escaped(std::string_view text) {
  emit_doubling_backslashes(text, [this](std::string_view piece) { out_ << piece; });
}

void Attributes::write_attributes() {
  if (r_code_ != nullptr) {
    for (const Row& row : rows_) r_code_->add_attribute(name_of(row), value_of(row));
  } else if (!rows_.empty()) {
    path_.open_list();
    for (const Row& row : rows_) {
      const std::string_view name = name_of(row);
      const std::string_view value = value_of(row);
      if (!contains_backslash(name) && !contains_backslash(value)) {
        write_statement(out_, "attr(", path_.path(), ",\"", name, "\")_", value, '\n');
      } else {
        out_ << "attr(";
        path_.write_path();
        out_ << ",\"";
        write_escaped(name);
        out_ << "\")_";
        write_escaped(value);
        out_ << '\n';
      }
    }
  }
  rows_.clear();
  texts_.clear(large_text);
  values_apart_.clear();
  owned_values_.clear();
}

}  // namespace xml2slist
