#include "translate/entities.h"

namespace xml2slist {

Entities::Row& Entities::current_row() {
  if (rows_.size() <= static_cast<std::size_t>(entity_count_)) rows_.resize(static_cast<std::size_t>(entity_count_) + 1);
  return rows_[static_cast<std::size_t>(entity_count_)];
}

void Entities::record_entity_token(std::string_view text, bool is_word) {
  index_stale_ = true;
  if (entity_state_ == idle) {
    if (!is_word) {
      current_row().replacement.assign(text);
    } else if (text == "ENTITY") {
      ++entity_count_;
      entity_state_ = after_entity;
    } else if (text == "SYSTEM") {
      entity_state_ = after_system;
    }
    return;
  }
  if (!is_word) return;  // quoted strings after ENTITY or SYSTEM are not stored
  current_row().reference.append("\"&").append(text).append(";\"");
  entity_state_ = idle;
}

void Entities::index_references() {
  rows_by_reference_.clear();
  const std::size_t last = std::min(rows_.size(), static_cast<std::size_t>(entity_count_) + 1);
  for (std::size_t row = 0; row < last; ++row) {
    rows_by_reference_[rows_[row].reference].push_back(static_cast<int>(row));
  }
  index_stale_ = false;
}

// A declared reference is one or more "&name;" forms, so only a value that
// starts with "& and ends with ;" can equal one; the others pass unhashed.
void Entities::add_attribute_string(std::string_view value, std::string& attribute_value) {
  if (!may_replace(value)) {
    attribute_value.append(value);
    return;
  }
  if (index_stale_) index_references();
  const auto found = rows_by_reference_.find(value);
  if (found == rows_by_reference_.end()) {
    attribute_value.append(value);
    return;
  }
  for (const int row : found->second) attribute_value.append(rows_[static_cast<std::size_t>(row)].replacement);
}

}  // namespace xml2slist
