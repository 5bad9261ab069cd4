#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "translate/keyed_hash.h"

namespace xml2slist {

// Picks entity declarations out of the prologue's <! constructs and puts a
// declared entity's value in place of an attribute value that is nothing but
// a double-quoted reference to it.
class Entities {
 public:
  // The references come from the document: they are placed by a keyed hash.
  explicit Entities(const HashKey& key = process_hash_key()) : key_(key) {}

  // The start of a <! construct resets the recogniser.
  void reset_state() { entity_state_ = idle; }
  // Takes each word (is_word) and quoted string of a <! construct.
  void record_entity_token(std::string_view text, bool is_word);
  // Appends the attribute value `value` (quotes included), or the
  // replacements of the entities whose reference it is, to `attribute_value`.
  void add_attribute_string(std::string_view value, std::string& attribute_value);
  // False when add_attribute_string appends `value` itself: only a value
  // written as a double-quoted reference, "&name;", may be replaced.
  static bool may_replace(std::string_view value) {
    return value.size() >= 4 && value.starts_with("\"&") && value.ends_with(";\"");
  }
  // Used slots that the lookups of references have looked at so far.
  std::uint64_t probes() const { return probes_; }

 private:
  enum State { idle = 0, after_entity = 1, after_system = 2 };
  // A row that no declaration changes any more (only the row of the latest
  // ENTITY keyword can change): its "&name;" forms, quotes included, then
  // its declared string, quotes included, packed in chunks_. A document may
  // declare millions, so a row costs 16 bytes besides its texts.
  struct Packed {
    const char* texts;
    std::uint32_t reference_size;
    std::uint32_t replacement_size;
    std::string_view reference() const { return {texts, reference_size}; }
    std::string_view replacement() const { return {texts + reference_size, replacement_size}; }
  };

  // Packs the rows before the one the declarations now write into.
  void reach_current_row();
  void pack_current_row();
  char* room_for(std::size_t size);
  void index_references();

  std::vector<Packed> packed_;  // rows 0 to packed_.size() - 1; row 0 never gets a declaration of its own
  std::string reference_;       // of row packed_.size(), the one still written
  std::string replacement_;
  std::vector<std::unique_ptr<char[]>> chunks_;  // never move, so packed texts stay in place
  std::size_t chunk_size_ = 0;
  std::size_t chunk_used_ = 0;
  int entity_count_ = 0;
  int entity_state_ = idle;
  // The packed rows by reference text, rebuilt after a change: open
  // addressing, each used slot the first row (plus one) of one reference;
  // next_same_ leads from a row to the next row with the same reference (0
  // after the last), so rows come in increasing order.
  std::vector<std::uint32_t> slots_;
  std::vector<std::uint32_t> next_same_;
  bool index_stale_ = true;
  HashKey key_;
  std::uint64_t probes_ = 0;
};

}  // namespace xml2slist
