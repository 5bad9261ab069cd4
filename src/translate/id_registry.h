#pragma once

#include <cstddef>
#include <string_view>

#include "translate/text_table.h"

namespace xml2slist {

// The set of Id values met so far; a document may hold millions of them.
class IdRegistry {
 public:
  // Adds `id`; false when the same text is there already.
  bool insert(std::string_view id) { return texts_.add(id); }
  std::size_t size() const { return texts_.size(); }

 private:
  TextTable texts_{false};
};

}  // namespace xml2slist
