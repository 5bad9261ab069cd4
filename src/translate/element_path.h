#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_stream.h"
#include "translate/r_code.h"
#include "translate/name_counts.h"
#include "translate/statement_writer.h"
#include "translate/text_buffer.h"

namespace xml2slist {

// The stack of open elements and the naming of their members: every
// statement about an element addresses it by the member names of all open
// elements joined by '$'.
class ElementPath {
 public:
  // With `r_code`, elements are told to it as they open and close, and no
  // statement is written here.
  explicit ElementPath(OutputStream& out, RCode* r_code = nullptr) : out_(out), r_code_(r_code) {}

  // Opens an element named `name`, with the character replacement.
  void push_member(std::string_view name);
  // The same for a name held in `name`, whose storage is given back (when
  // large) once the path holds the name: a huge name is then held twice at
  // most, in the path and among its level's names, never three times (and
  // by the R writer, when there is one, in copies of its own).
  void push_member(std::string& name);
  // Closes the current element, forgetting the names met two or more levels
  // below it.
  void pop_member();
  // The current element's path.
  std::string_view path() const { return path_.view(); }
  // Writes the current element's path, without a line break.
  void write_path() { out_ << path(); }
  // Writes the statement that creates the current element's list.
  void open_list() {
    if (r_code_ == nullptr) write_statement(out_, path(), "_list()\n");
  }

  int element_depth() const { return static_cast<int>(levels_.size()); }
  // The current element's member name begins with "DataVector".
  bool current_is_vector() const { return !levels_.empty() && levels_.back().is_vector; }

 private:
  struct Level {
    std::size_t path_length_before;  // where this level's member begins in path_
    bool is_vector;
  };
  // Repeat counts of the names met at one level, by replaced name.
  using Registry = NameCounts;

  // Adds the name and its repeat number; `owner`, when given, holds `name`
  // and gives its storage back once the path holds the name.
  void push_member(std::string_view name, std::string* owner);

  OutputStream& out_;
  RCode* r_code_;
  TextBuffer path_;             // the current element's path, kept between statements
  std::vector<Level> levels_;   // one per open element
  std::vector<Registry> registry_;  // by level
  std::size_t registry_top_ = 0;    // levels at or above this have no entries
};

}  // namespace xml2slist
