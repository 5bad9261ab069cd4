#pragma once

#include <cstdint>
#include <string_view>

#include "translate/text_table.h"

namespace xml2slist {

// How often each member name has been met at one level; a level may hold a
// hundred thousand names.
class NameCounts {
 public:
  // Counts one more meeting of `name` and returns how many came before it.
  std::int64_t meet(std::string_view name) { return names_.count_meeting(name); }
  bool empty() const { return names_.size() == 0; }
  // Forgets every name.
  void clear() { names_.clear(); }

 private:
  TextTable names_{true};
};

}  // namespace xml2slist
