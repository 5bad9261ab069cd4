#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "translate/text_table.h"

namespace xml2slist {

// The set of Id values met so far; a document may hold millions of them.
class IdRegistry {
 public:
  // Adds `id`; false when the same text is there already.
  bool insert(std::string_view id) { return texts_.add(id); }
  // Starts loading the place of `id`; insert_prepared() adds it a little
  // later with the hash this returns.
  std::uint64_t prepare(std::string_view id) const { return texts_.prepare(id); }
  bool insert_prepared(std::string_view id, std::uint64_t hash) { return texts_.add_prepared(id, hash); }
  std::size_t size() const { return texts_.size(); }

 private:
  TextTable texts_{false};
};

}  // namespace xml2slist
