#include "translate/element_path.h"

#include <algorithm>
#include <charconv>

namespace xml2slist {

void ElementPath::push_member(std::string& name) {
  replace_name_characters(name);
  const std::size_t level = levels_.size();
  const std::size_t before = path_.size();
  if (level > 0) path_ += '$';
  path_ += name;
  if (registry_.size() <= level) registry_.resize(level + 1);
  Registry& names = registry_[level];
  if (auto found = names.find(std::string_view(name)); found != names.end()) {
    char digits[16];
    const auto written = std::to_chars(digits, digits + sizeof digits, ++found->second);  // the first repeat is 1
    path_.append(digits, written.ptr);
  } else {
    names.emplace(name, 0);
  }
  registry_top_ = std::max(registry_top_, level + 1);
  const std::string_view member = std::string_view(path_).substr(before + (level > 0 ? 1 : 0));
  levels_.push_back(Level{before, member.substr(0, 10) == "DataVector"});
}

void ElementPath::pop_member() {
  if (levels_.empty()) return;
  const std::size_t depth = levels_.size();
  for (std::size_t level = depth + 1; level < registry_top_; ++level) {
    Registry& names = registry_[level];
    if (names.empty()) continue;
    // A large bucket array is dropped rather than swept on every later close.
    if (names.bucket_count() > 64) {
      names = Registry();
    } else {
      names.clear();
    }
  }
  registry_top_ = std::min(registry_top_, depth + 1);
  path_.resize(levels_.back().path_length_before);
  levels_.pop_back();
}

}  // namespace xml2slist
