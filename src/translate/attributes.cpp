#include "translate/attributes.h"

#include "driver/run_end.h"
#include "translate/content_output.h"
#include "translate/escaping.h"
#include "translate/statement_writer.h"

namespace xml2slist {

void Attributes::add_attribute(std::string_view name, std::string& value) {
  if (rows_.size() <= attr_count_) rows_.resize(attr_count_ + 1);
  std::string& row_name = rows_[attr_count_].first;
  row_name.assign(name);
  replace_name_characters(row_name);
  if (row_name == "Id") {
    check_waiting_id();  // a second Id in the same tag
    if (checks_wait_ && value.size() <= longest_waiting_id) {
      waiting_hash_ = id_table_.prepare(value);
      reporter_.mark_place(waiting_place_);
      waiting_row_ = attr_count_;
      waiting_ = true;
    } else if (!id_table_.insert(value)) {
      report_duplicate(value, nullptr);
    }
  }
  rows_[attr_count_].second.swap(value);
  ++attr_count_;
  value.clear();
}

void Attributes::check_waiting_id_now() {
  waiting_ = false;
  const std::string& value = rows_[waiting_row_].second;
  if (!id_table_.insert_prepared(value, waiting_hash_)) report_duplicate(value, &waiting_place_);
}

void Attributes::report_duplicate(const std::string& value, const Reporter::Place* place) {
  reporter_.report_message("Error: Id = " + value + " is  duplicate.\n");
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
  if (attr_count_ != 0) {
    path_.open_list();
    for (std::size_t row = 0; row < attr_count_; ++row) {
      const std::string& name = rows_[row].first;
      const std::string& value = rows_[row].second;
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
      release_if_large(rows_[row].second);
    }
  }
  attr_count_ = 0;
}

}  // namespace xml2slist
