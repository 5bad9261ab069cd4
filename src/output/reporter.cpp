#include "output/reporter.h"

#include <algorithm>

namespace xml2slist {

Reporter::Reporter(OutputStream& out, OutputStream& err, const ReadPosition& reading)
    : out_(out), err_(err), reading_(reading) {}

// The status text keeps its bound: a message that no longer fits is cut to
// the room left. Standard error always carries the full texts.
void Reporter::append_status(std::string_view message) {
  const std::size_t room = status_capacity - status_text_.size();
  status_text_.append(message.substr(0, std::min(room, message.size())));
}

void Reporter::report_message(std::string_view message) {
  err_ << message;
  append_status(message);
}

void Reporter::warn_missing_prologue() { report_message("Warning: No protocols in this XML instance\n"); }

void Reporter::report_xml_error(std::string_view message) {
  if (holding_) {
    write_xml_error(message, held_line_, held_read_ahead_);
  } else {
    write_xml_error(message, reading_.line_number(), reading_.read_ahead_text());
  }
}

void Reporter::report_xml_error(std::string_view message, const Place& place) {
  write_xml_error(message, place.line, place.read_ahead);
}

void Reporter::mark_place(Place& place) const {
  place.line = holding_ ? held_line_ : reading_.line_number();
  place.read_ahead.assign(holding_ ? held_read_ahead_ : reading_.read_ahead_text());
}

void Reporter::write_xml_error(std::string_view message, std::int64_t line, std::string_view read_ahead) {
  message_line_.assign("Error: line ").append(std::to_string(line)).append("; XML ");
  message_line_.append(message).append("\n");
  report_message(message_line_);
  message_line_.assign("Read ahead text: ").append(read_ahead);
  err_ << message_line_ << '\n';
  append_status(message_line_);
  write_status_statements();
  error_seen_ = true;
}

// Backslashes and apostrophes are escaped so that S reads back exactly the
// messages, whatever the read-ahead text holds.
void Reporter::write_status_statements() {
  if (before_status_) before_status_();
  if (status_writer_) return status_writer_(status_text_);
  out_ << "Vesko$status_NULL\n" << "Vesko$status_'";
  std::size_t start = 0;
  for (std::size_t i = 0; i < status_text_.size(); ++i) {
    const char c = status_text_[i];
    if (c != '\\' && c != '\'') continue;
    out_ << std::string_view(status_text_).substr(start, i - start) << '\\' << c;
    start = i + 1;
  }
  out_ << std::string_view(status_text_).substr(start) << '\'';
}

}  // namespace xml2slist
