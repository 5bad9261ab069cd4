#pragma once

#include <cstdint>
#include <string_view>

namespace xml2slist {

// Where the reading of the document stands, as an error report quotes it;
// the reporter knows the reader only through this.
class ReadPosition {
 public:
  // Newlines read outside quoted strings so far.
  virtual std::int64_t line_number() const = 0;
  // The text of the token read last.
  virtual std::string_view read_ahead_text() const = 0;

 protected:
  ~ReadPosition() = default;
};

}  // namespace xml2slist
