#include "translate/element_path.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "translate/name_map.h"

namespace xml2slist {

void ElementPath::push_member(std::string_view name) { push_member(name, nullptr); }

void ElementPath::push_member(std::string& name) { push_member(name, &name); }

void ElementPath::push_member(std::string_view name, std::string* owner) {
  const std::size_t level = levels_.size();
  const std::size_t before = path_.size();
  if (level > 0) path_.push_back('$');
  const std::size_t member_at = path_.size();
  std::string_view member_name = append_name(path_, name);
  // The repeat number adds only digits, and the replacement touches no
  // letter: the name as written tells.
  constexpr std::string_view vector_prefix = "DataVector";
  const bool is_vector = name.size() >= vector_prefix.size() &&
                         std::memcmp(name.data(), vector_prefix.data(), vector_prefix.size()) == 0;
  if (owner != nullptr && owner->capacity() > large_text) {
    member_name = std::string_view(path_.data() + member_at, name.size());
    release_if_large(*owner);
  }
  // The R writer finds its records of a name through the name's note.
  while (registry_.size() <= level) registry_.emplace_back(r_code_ != nullptr);
  const NameCounts::Met met = registry_[level].meet(member_name);
  const std::int64_t repeat = met.before;
  if (repeat > 0) {  // the first repeat is 1
    // The digits go straight into the path.
    constexpr std::size_t most_digits = 20;
    const std::size_t digits_at = path_.size();
    char* const digits = path_.extend(most_digits);
    const auto written = std::to_chars(digits, digits + most_digits, repeat);
    path_.truncate(digits_at + static_cast<std::size_t>(written.ptr - digits));
  }
  registry_top_ = std::max(registry_top_, level + 1);
  levels_.push_back(Level{before, is_vector});
  if (r_code_ != nullptr) {
    r_code_->open_element(path_.view().substr(member_at), name.size(), repeat, met.name, registry_[level]);
  }
}

void ElementPath::pop_member() {
  if (levels_.empty()) return;
  if (r_code_ != nullptr) r_code_->close_element();
  const std::size_t depth = levels_.size();
  for (std::size_t level = depth + 1; level < registry_top_; ++level) {
    registry_[level].clear();
  }
  registry_top_ = std::min(registry_top_, depth + 1);
  path_.truncate(levels_.back().path_length_before);
  levels_.pop_back();
}

}  // namespace xml2slist
