#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "translate/keyed_hash.h"
#include "translate/text_buffer.h"
#include "translate/text_table.h"

namespace xml2slist {

// The set of Id values met so far; a document may hold millions of them.
// Values larger than large_text are few (the input holds each one whole)
// and are kept apart, in the storage they were built in, so that a huge
// value is held once rather than copied.
class IdRegistry {
 public:
  // Adds `id`; false when the same text is there already.
  bool insert(std::string_view id) {
    if (id.size() > large_text) [[unlikely]] {
      std::string copy(id);
      std::string_view kept;
      return insert_large(copy, kept);
    }
    return texts_.add(id);
  }
  // Starts loading the place of `id`; insert_prepared() adds it a little
  // later with the hash this returns.
  std::uint64_t prepare(std::string_view id) const { return texts_.prepare(id); }
  bool insert_prepared(std::string_view id, std::uint64_t hash) {
    if (id.size() > large_text) [[unlikely]] return insert(id);
    return texts_.add_prepared(id, hash);
  }
  // Adds `id`, larger than large_text, taking its storage when it is new
  // (`id` is left empty) and putting where it is kept in `kept`; false,
  // leaving `id` as it is, when the same text is there already.
  bool insert_large(std::string& id, std::string_view& kept) {
    const std::uint64_t hash = keyed_hash(process_hash_key(), id);
    for (const Large& large : large_) {
      if (large.hash == hash && large.text == id) return false;
    }
    large_.push_back(Large{hash, std::move(id)});
    id.clear();
    kept = large_.back().text;  // a moved large string keeps its storage
    return true;
  }
  std::size_t size() const { return texts_.size() + large_.size(); }

 private:
  struct Large {
    std::uint64_t hash;
    std::string text;
  };
  TextTable texts_{false};
  std::vector<Large> large_;
};

}  // namespace xml2slist
