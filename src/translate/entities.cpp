#include "translate/entities.h"

#include <algorithm>
#include <cstring>

#include "translate/text_buffer.h"

namespace xml2slist {

namespace {
constexpr std::size_t first_chunk = 4096;
constexpr std::size_t largest_chunk = std::size_t{1} << 20;
}  // namespace

char* Entities::room_for(std::size_t size) {
  if (chunks_.empty() || chunk_used_ + size > chunk_size_) {
    const std::size_t next = chunks_.empty() ? first_chunk : std::min(chunk_size_ * 2, largest_chunk);
    chunk_size_ = std::max(next, size);
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(chunk_size_));
    chunk_used_ = 0;
  }
  char* const at = chunks_.back().get() + chunk_used_;
  chunk_used_ += size;
  return at;
}

void Entities::pack_current_row() {
  char* const at = room_for(reference_.size() + replacement_.size());
  if (!reference_.empty()) std::memcpy(at, reference_.data(), reference_.size());
  if (!replacement_.empty()) std::memcpy(at + reference_.size(), replacement_.data(), replacement_.size());
  packed_.push_back(Packed{at, static_cast<std::uint32_t>(reference_.size()),
                           static_cast<std::uint32_t>(replacement_.size())});
  release_if_large(reference_);
  release_if_large(replacement_);
}

void Entities::reach_current_row() {
  while (packed_.size() < static_cast<std::size_t>(entity_count_)) pack_current_row();
}

void Entities::record_entity_token(std::string_view text, bool is_word) {
  index_stale_ = true;
  if (entity_state_ == idle) {
    if (!is_word) {
      reach_current_row();
      replacement_.assign(text);
    } else if (text == "ENTITY") {
      ++entity_count_;
      entity_state_ = after_entity;
    } else if (text == "SYSTEM") {
      entity_state_ = after_system;
    }
    return;
  }
  if (!is_word) return;  // quoted strings after ENTITY or SYSTEM are not stored
  reach_current_row();
  reference_.append("\"&").append(text).append(";\"");
  entity_state_ = idle;
}

// Rows are taken from the last to the first, each put in front of the rows
// already found with its reference. A reference that no replaceable value
// can equal (an empty one, say) is left out.
void Entities::index_references() {
  const std::size_t rows = packed_.size();
  std::size_t count = 16;
  while (count < 2 * rows) count *= 2;
  slots_.assign(count, 0);
  next_same_.assign(rows, 0);
  const std::size_t mask = count - 1;
  for (std::size_t row = rows; row-- > 0;) {
    const std::string_view reference = packed_[row].reference();
    if (!may_replace(reference)) continue;
    std::size_t i = keyed_hash(key_, reference) & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask) {
      const std::uint32_t first = slots_[i] - 1;
      if (packed_[first].reference() == reference) {
        next_same_[row] = first;
        break;
      }
    }
    slots_[i] = static_cast<std::uint32_t>(row + 1);
  }
  index_stale_ = false;
}

// A declared reference is one or more "&name;" forms, so only a value that
// starts with "& and ends with ;" can equal one; the others pass unhashed.
// The row still written comes last, after every packed row.
void Entities::add_attribute_string(std::string_view value, std::string& attribute_value) {
  if (!may_replace(value)) {
    attribute_value.append(value);
    return;
  }
  if (index_stale_) index_references();
  bool found = false;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = keyed_hash(key_, value) & mask; slots_[i] != 0; i = (i + 1) & mask) {
    ++probes_;
    std::uint32_t row = slots_[i] - 1;
    if (packed_[row].reference() != value) continue;
    do {
      attribute_value.append(packed_[row].replacement());
      row = next_same_[row];
    } while (row != 0);
    found = true;
    break;
  }
  if (reference_ == value) {
    attribute_value.append(replacement_);
    found = true;
  }
  if (!found) attribute_value.append(value);
}

}  // namespace xml2slist
