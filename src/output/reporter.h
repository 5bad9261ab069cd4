#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "output/output_stream.h"
#include "output/read_position.h"

namespace xml2slist {

// Reports document errors on standard error and collects them in the status
// text that the status statements write to standard output.
class Reporter {
 public:
  static constexpr std::size_t status_capacity = 499;  // characters, terminator not counted

  Reporter(OutputStream& out, OutputStream& err, const ReadPosition& reading);

  // The line and read-ahead text at one moment, for an error that
  // is found a little later but must read as met there.
  struct Place {
    std::int64_t line = 0;
    std::string read_ahead;
  };

  // Reports an error at the current line and read-ahead text, then writes the status statements.
  void report_xml_error(std::string_view message);
  // The same, at a place marked earlier with mark_place().
  void report_xml_error(std::string_view message, const Place& place);
  void mark_place(Place& place) const;
  // While a start tag read ahead whole is taken: errors and marked places read
  // as met right after each attribute's value, not where the reading is.
  void read_at(std::int64_t line, std::string_view read_ahead) {
    held_line_ = line;
    held_read_ahead_ = read_ahead;
    holding_ = true;
  }
  // Errors and marked places read as met where the reading is again.
  void read_at_current() { holding_ = false; }
  // The warning for a document whose root element has no prologue before it.
  void warn_missing_prologue();
  // Writes `message` to standard error and appends it to the status text.
  void report_message(std::string_view message);

  bool error_seen() const { return error_seen_; }
  const std::string& status_text() const { return status_text_; }

  // Runs before the status statements are written, so that they start on a line of their own.
  void set_before_status(std::function<void()> hook) { before_status_ = std::move(hook); }
  // Writes the status text in place of the two S status statements.
  void set_status_writer(std::function<void(std::string_view)> writer) { status_writer_ = std::move(writer); }

 private:
  void append_status(std::string_view message);
  void write_xml_error(std::string_view message, std::int64_t line, std::string_view read_ahead);
  void write_status_statements();

  OutputStream& out_;
  OutputStream& err_;
  const ReadPosition& reading_;
  std::string status_text_;
  std::string message_line_;
  bool error_seen_ = false;
  std::function<void()> before_status_;
  std::function<void(std::string_view)> status_writer_;
  bool holding_ = false;
  std::int64_t held_line_ = 0;
  std::string_view held_read_ahead_;
};

}  // namespace xml2slist
