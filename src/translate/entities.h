#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "translate/name_map.h"

namespace xml2slist {

// Picks entity declarations out of the prologue's <! constructs and puts a
// declared entity's value in place of an attribute value that is nothing but
// a double-quoted reference to it.
class Entities {
 public:
  Entities() : rows_(1) {}

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

 private:
  enum State { idle = 0, after_entity = 1, after_system = 2 };
  struct Row {
    std::string reference;    // "&name;" forms, quotes included; may hold several
    std::string replacement;  // the declared string, quotes included
  };

  Row& current_row();
  void index_references();

  std::vector<Row> rows_;  // row 0 never gets a declaration of its own
  int entity_count_ = 0;
  int entity_state_ = idle;
  // Rows by reference text, in increasing order; rebuilt after a change.
  NameMap<std::vector<int>> rows_by_reference_;
  bool index_stale_ = true;
};

}  // namespace xml2slist
