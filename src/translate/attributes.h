#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/output_stream.h"
#include "driver/reporter.h"
#include "translate/element_path.h"
#include "translate/id_registry.h"
#include "translate/name_map.h"

namespace xml2slist {

// Records a start tag's attributes as they are parsed, writes them as
// attr() statements once the element is named, and keeps the values of all
// Id attributes, which must be unique in the document.
class Attributes {
 public:
  Attributes(OutputStream& out, ElementPath& path, Reporter& reporter)
      : out_(out), path_(path), reporter_(reporter) {}

  // Records one attribute under its name with the character replacement;
  // `value` (the text buffer) is emptied. A repeated Id value is reported
  // and ends the run with status 1 (throws RunEnd).
  void add_attribute(std::string_view name, std::string& value);
  // Writes the list creation and the attributes of the element just pushed.
  void write_attributes();

 private:
  void write_escaped(std::string_view text);

  OutputStream& out_;
  ElementPath& path_;
  Reporter& reporter_;
  std::vector<std::pair<std::string, std::string>> rows_;  // reused between tags
  std::size_t attr_count_ = 0;
  IdRegistry id_table_;
};

}  // namespace xml2slist
