#pragma once
// Checks that a conversion's standard output is made only of the statements
// the converter writes, and that its exit status, status statement and
// standard error agree. Shared by the fuzz target and its unit test.
//
// The output is read as a sequence of statements, each ending in a line
// feed:
//   PATH_list()
//   PATH[[N]]_"TEXT"            TEXT escapes \ " and ' with a backslash
//   PATH[[N]]_c(ITEMS)          a vector: words and quoted strings, raw
//   attr(PATH,"NAME")_VALUE     VALUE: quoted strings, backslashes doubled
//   yydebug: ...                trace lines, only when the trace is on
// and at most one status pair, which ends the statements:
//   Vesko$status_NULL
//   Vesko$status_'TEXT'         TEXT escapes \ and '; no line feed follows
// after which only "error recovery discarding state" trace lines may come.
// With the trace on, trace lines may also stand between a slot reference
// PATH[[N]] and its value, since the value is written when the run ends.
//
// Quoted strings may hold line feeds, so the end of a vector or an
// attribute value is not always the next line feed. Where several ends
// fit, each is tried in turn against the rest of the output (positions
// already known to fail are remembered). Every string is closed (a NUL byte
// ends a string's text, not its closing quote) except a vector's last
// string that the input ended inside, right before the status pair.
#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "parser/grammar.h"

namespace xml2slist::fuzz {

struct ShapeReport {
  bool ok = false;
  std::string problem;      // empty when ok
  std::size_t offset = 0;   // where the furthest failing reading stopped
  bool has_status = false;  // the status pair was written
  std::string status_text;  // its text, escapes removed
  std::string statements;   // the output without its trace lines
};

namespace shape_detail {

inline bool starts_with(std::string_view text, std::size_t at, std::string_view prefix) {
  return at <= text.size() && text.substr(at, prefix.size()) == prefix;
}

// Bytes that a WORD token may hold (a NUL byte ends a token's value).
inline bool is_word_byte(char c) {
  switch (c) {
    case '\0': case '\t': case '\r': case ' ': case '\n': case '"': case '\'': case '<': case '=': case '>':
      return false;
    default:
      return true;
  }
}

// Bytes of an element or attribute name once ":_-." became '?'.
inline bool is_name_byte(char c) { return is_word_byte(c) && c != ':' && c != '_' && c != '-' && c != '.'; }

inline bool is_quote(char c) { return c == '"' || c == '\''; }

// A decimal number without leading zeros at `at`; its value, or -1.
inline long parse_number(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  long value = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 9) {
    value = value * 10 + (text[at] - '0');
    ++at;
  }
  if (at == start || (text[start] == '0' && at - start > 1)) return -1;
  if (at < text.size() && text[at] >= '0' && text[at] <= '9') return -1;
  return value;
}

inline constexpr int last_state = 55;

// Token names and rule strings are the grammar's own tables: the exact
// trace is checked by the end-to-end cases, the checker only places it.
using xml2slist::rule_strings;

// Reads "STATE" at `at` (0 to the last state).
inline bool parse_state(std::string_view line, std::size_t& at) {
  const long state = parse_number(line, at);
  return state >= 0 && state <= last_state;
}

// One trace line without its "yydebug: " prefix and its line feed.
inline bool is_trace_body(std::string_view line, bool discard_only) {
  std::size_t at = 0;
  if (starts_with(line, 0, "error recovery discarding state ")) {
    at = 32;
    return parse_state(line, at) && at == line.size();
  }
  if (discard_only) return false;
  if (starts_with(line, 0, "after reduction, shifting from state ")) {
    at = 37;
    if (!parse_state(line, at) || !starts_with(line, at, " to state ")) return false;
    at += 10;
    return parse_state(line, at) && at == line.size();
  }
  if (!starts_with(line, 0, "state ")) return false;
  at = 6;
  if (!parse_state(line, at) || !starts_with(line, at, ", ")) return false;
  at += 2;
  if (starts_with(line, at, "shifting to state ")) {
    at += 18;
    return parse_state(line, at) && at == line.size();
  }
  if (starts_with(line, at, "reading ")) {
    at += 8;
    const long token = parse_number(line, at);
    // Only tokens the scanner produces have a name; a parse error gives -1.
    const std::string_view name = token < 0 ? std::string_view{} : xml2slist::token_name(static_cast<int>(token));
    if (name.empty()) return false;
    return line.substr(at) == std::string(" (").append(name).append(")");
  }
  if (starts_with(line, at, "reducing by rule ")) {
    at += 17;
    const long rule = parse_number(line, at);
    if (rule < 1 || rule >= static_cast<long>(rule_strings.size())) return false;
    return line.substr(at) == std::string(" (").append(rule_strings[static_cast<std::size_t>(rule)]).append(")");
  }
  return false;
}

// The slot reference "[[N]]" (N from 1) at the end of `head`, after a path.
inline bool ends_with_slot_number(std::string_view head) {
  if (head.size() < 5 || head.substr(head.size() - 2) != "]]") return false;
  const std::size_t open = head.rfind("[[");
  if (open == std::string_view::npos) return false;
  std::size_t at = open + 2;
  const long number = parse_number(head, at);
  return number >= 1 && at == head.size() - 2;
}

class Parser {
 public:
  Parser(std::string_view out, bool trace) : out_(out), trace_(trace) {}

  ShapeReport run() {
    ShapeReport report;
    report.ok = statements(0);
    if (!report.ok) {
      report.problem = problem_;
      report.offset = furthest_;
      return report;
    }
    report.has_status = has_status_;
    report.status_text = status_text_;
    std::size_t kept = 0;
    std::sort(trace_spans_.begin(), trace_spans_.end());
    for (const auto& [start, end] : trace_spans_) {
      report.statements.append(out_.substr(kept, start - kept));
      kept = end;
    }
    report.statements.append(out_.substr(kept));
    return report;
  }

 private:
  bool fail(std::size_t at, std::string_view problem) {
    if (problem_.empty() || at >= furthest_) {
      furthest_ = at;
      problem_.assign(problem);
    }
    return false;
  }

  // A trace line at `at`; `end` is set past its line feed.
  bool trace_line(std::size_t at, std::size_t& end, bool discard_only) {
    if (!trace_) return fail(at, "trace line while the trace is off");
    const std::size_t feed = out_.find('\n', at);
    if (feed == std::string_view::npos) return fail(at, "trace line without line feed");
    const std::size_t body = at + 9;  // "yydebug: "
    if (!is_trace_body(out_.substr(body, feed - body), discard_only)) return fail(at, "malformed trace line");
    trace_spans_.emplace_back(at, feed + 1);
    end = feed + 1;
    return true;
  }

  // Tries each possible end of an ambiguous statement against the rest.
  bool continue_at(const std::vector<std::size_t>& ends, std::size_t at, std::string_view what) {
    if (ends.empty()) return fail(at, what);
    for (const std::size_t end : ends) {
      if (failed_.count(end) != 0) continue;
      const std::size_t spans = trace_spans_.size();
      if (statements(end)) return true;
      trace_spans_.resize(spans);
      failed_.insert(end);
    }
    return false;
  }

  bool statements(std::size_t at) {
    const std::size_t n = out_.size();
    for (;;) {
      if (at == n) return true;
      if (starts_with(out_, at, "yydebug: ")) {
        if (!trace_line(at, at, false)) return false;
        continue;
      }
      if (starts_with(out_, at, "Vesko$status_NULL\nVesko$status_'")) return status(at);
      std::size_t h = at;
      while (h < n && is_name_byte(out_[h])) ++h;
      if (h == n) return fail(at, "statement without line feed");
      const std::string_view head = out_.substr(at, h - at);
      const char next = out_[h];
      if (next == '_') {
        if (starts_with(out_, h, "_list()\n")) {
          at = h + 8;
          continue;
        }
        if (!ends_with_slot_number(head)) return fail(at, "statement of unknown shape");
        if (!slot_value(h, at)) return false;
        if (at == std::string_view::npos) return true;  // the rest was read by a nested attempt
        continue;
      }
      if (next == ':' && head.size() >= 7 && head.substr(head.size() - 7) == "yydebug" &&
          ends_with_slot_number(head.substr(0, head.size() - 7)) && starts_with(out_, h - 7, "yydebug: ")) {
        std::size_t value = h - 7;
        while (starts_with(out_, value, "yydebug: ")) {
          if (!trace_line(value, value, false)) return false;
        }
        if (!slot_value(value, at)) return false;
        if (at == std::string_view::npos) return true;
        continue;
      }
      if (next == '"' && head.size() >= 6 && starts_with(head, 0, "attr(") && head.back() == ',') {
        std::size_t name = h + 1;
        while (name < n && out_[name] != '"') {
          if (!is_name_byte(out_[name])) return fail(name, "attribute name with a foreign byte");
          if (out_[name] == '\\' && (name + 1 >= n || out_[++name] != '\\')) {
            return fail(name, "single backslash in an attribute name");
          }
          ++name;
        }
        if (!starts_with(out_, name, "\")_")) return fail(name, "attribute statement without \")_");
        const std::vector<std::size_t> ends = attribute_value_ends(name + 3);
        if (ends.size() == 1) {
          at = ends.front();
          continue;
        }
        return continue_at(ends, name + 3, "malformed attribute value");
      }
      return fail(at, "statement of unknown shape");
    }
  }

  // The value of a slot at `at` (its '_'). On success `next` is where the
  // following statement starts, or npos when a nested attempt read the rest.
  bool slot_value(std::size_t at, std::size_t& next) {
    const std::size_t n = out_.size();
    if (starts_with(out_, at, "_\"")) {
      std::size_t p = at + 2;
      for (;;) {
        if (p >= n) return fail(at, "text value without its closing quote");
        const char c = out_[p];
        if (c == '\\') {
          if (p + 1 >= n || (out_[p + 1] != '\\' && out_[p + 1] != '"' && out_[p + 1] != '\'')) {
            return fail(p, "unknown escape in a text value");
          }
          p += 2;
        } else if (c == '"') {
          break;
        } else if (c == '\0') {
          return fail(p, "NUL byte in a text value");
        } else {
          ++p;
        }
      }
      if (!starts_with(out_, p, "\"\n")) return fail(p, "text value not ended by a line feed");
      next = p + 2;
      return true;
    }
    if (starts_with(out_, at, "_c(")) {
      const std::vector<std::size_t> ends = vector_ends(at + 3);
      if (ends.size() == 1) {
        next = ends.front();
        return true;
      }
      next = std::string_view::npos;
      return continue_at(ends, at + 3, "malformed vector value");
    }
    return fail(at, "slot without a value");
  }

  // Where a vector value "c(" ITEMS ")\n" that starts at `begin` may end.
  // ITEMS are words, '=' and quoted strings joined by commas; a string is
  // written as \ q ... \ q, or, when it has no closing quote, with the
  // backslash before its last byte.
  std::vector<std::size_t> vector_ends(std::size_t begin) {
    const std::size_t n = out_.size();
    std::vector<std::size_t> ends;
    std::vector<char> ok(1, 1);
    std::size_t reach = begin;
    auto mark = [&](std::size_t p) {
      if (p - begin >= ok.size()) ok.resize(p - begin + 1, 0);
      ok[p - begin] = 1;
      reach = std::max(reach, p);
    };
    auto at_item_end = [&](std::size_t p) { return p < n && (out_[p] == ',' || out_[p] == ')'); };
    // A string without its closing quote, cut by the end of the input:
    // the status pair follows the vector at once.
    auto at_cut_end = [&](std::size_t p) { return starts_with(out_, p, ")\nVesko$status_NULL\n"); };
    for (std::size_t i = begin; i <= reach && i < n; ++i) {
      if (i - begin >= ok.size() || !ok[i - begin]) continue;
      const char c = out_[i];
      if (c == ')' && i > begin && i + 1 < n && out_[i + 1] == '\n') ends.push_back(i + 2);
      if (is_word_byte(c) || c == '=') mark(i + 1);
      if (c != '\\' || (i != begin && out_[i - 1] != ',')) continue;
      // A string without content and without closing quote: \\q or \p\q.
      if (i + 2 < n && out_[i + 1] == '\\' && is_quote(out_[i + 2]) && at_cut_end(i + 3)) mark(i + 3);
      std::size_t j = i + 1;
      if (j < n && (out_[j] == '?' || out_[j] == '/')) {
        if (j + 2 < n && out_[j + 1] == '\\' && is_quote(out_[j + 2]) && at_cut_end(j + 3)) mark(j + 3);
        ++j;
      }
      if (j >= n || !is_quote(out_[j])) continue;
      const char quote = out_[j];
      std::size_t close = out_.find(quote, j + 1);
      if (close != std::string_view::npos && out_[close - 1] == '\\' && close - 1 >= j + 1 && at_item_end(close + 1)) {
        mark(close + 1);
      }
      if (close == std::string_view::npos) close = n;
      for (std::size_t e = j + 3; e <= close && e <= n; ++e) {
        if (out_[e - 1] == '\0') break;
        if (out_[e - 2] == '\\' && at_cut_end(e)) mark(e);
      }
    }
    return ends;
  }

  // Where an attribute value (closed quoted strings with their backslashes
  // doubled, each perhaps after a continued ? or /) followed by a line feed
  // may end.
  std::vector<std::size_t> attribute_value_ends(std::size_t begin) {
    const std::size_t n = out_.size();
    std::vector<std::size_t> ends;
    std::vector<char> ok(1, 1);
    std::size_t reach = begin;
    auto mark = [&](std::size_t p) {
      if (p - begin >= ok.size()) ok.resize(p - begin + 1, 0);
      ok[p - begin] = 1;
      reach = std::max(reach, p);
    };
    for (std::size_t i = begin; i <= reach && i < n; ++i) {
      if (i - begin >= ok.size() || !ok[i - begin]) continue;
      if (out_[i] == '\n') ends.push_back(i + 1);
      std::size_t j = i;
      if (out_[j] == '?' || out_[j] == '/') ++j;
      if (j >= n || !is_quote(out_[j])) continue;
      const char quote = out_[j];
      std::size_t p = j + 1;
      while (p < n && out_[p] != quote && out_[p] != '\0') {
        if (out_[p] == '\\') {
          if (p + 1 >= n || out_[p + 1] != '\\') break;
          ++p;
        }
        ++p;
      }
      if (p < n && out_[p] == quote) mark(p + 1);
    }
    return ends;
  }

  // The status pair at `at`, then nothing but discarding trace lines.
  bool status(std::size_t at) {
    const std::size_t n = out_.size();
    std::size_t p = at + 32;  // both prefixes
    std::string text;
    for (;;) {
      if (p >= n) return fail(at, "status text without its closing quote");
      const char c = out_[p];
      if (c == '\\') {
        if (p + 1 >= n || (out_[p + 1] != '\\' && out_[p + 1] != '\'')) return fail(p, "unknown escape in the status text");
        text += out_[p + 1];
        p += 2;
      } else if (c == '\'') {
        break;
      } else if (c == '\0') {
        return fail(p, "NUL byte in the status text");
      } else {
        text += c;
        ++p;
      }
    }
    ++p;
    const std::size_t spans = trace_spans_.size();
    while (p < n) {
      if (!starts_with(out_, p, "yydebug: ") || !trace_line(p, p, true)) {
        trace_spans_.resize(spans);
        return fail(p, "output after the status statement");
      }
    }
    has_status_ = true;
    status_text_ = std::move(text);
    return true;
  }

  std::string_view out_;
  bool trace_;
  std::vector<std::pair<std::size_t, std::size_t>> trace_spans_;
  std::unordered_set<std::size_t> failed_;
  std::string problem_;
  std::size_t furthest_ = 0;
  bool has_status_ = false;
  std::string status_text_;
};

}  // namespace shape_detail

inline ShapeReport check_output_shape(std::string_view out, bool trace) {
  return shape_detail::Parser(out, trace).run();
}

inline constexpr std::string_view missing_prologue_warning = "Warning: No protocols in this XML instance\n";
inline constexpr std::size_t status_text_capacity = 499;
inline constexpr std::array<std::string_view, 5> fatal_scanner_messages = {
    "fatal flex scanner internal error--end of buffer missed",
    "fatal error - scanner input buffer overflow",
    "input in flex scanner failed",
    "flex scanner push-back overflow",
    "out of dynamic memory in yy_create_buffer()",
};

namespace shape_detail {

// "Error: line N; XML M\nRead ahead text: T" with M one of `messages`.
inline bool is_error_report(std::string_view text, std::initializer_list<std::string_view> messages, long& line) {
  if (!starts_with(text, 0, "Error: line ")) return false;
  std::size_t at = 12;
  line = parse_number(text, at);
  if (line < 0 || !starts_with(text, at, "; XML ")) return false;
  at += 6;
  for (const std::string_view message : messages) {
    if (starts_with(text, at, message) && starts_with(text, at + message.size(), "\nRead ahead text: ")) return true;
  }
  return false;
}

// The status text of an untruncated report: the warning perhaps, a
// duplicate Id message perhaps, the error line and the read-ahead line.
inline std::string check_status_text(std::string_view text, std::size_t newlines_in_document) {
  bool warned = false;
  if (starts_with(text, 0, missing_prologue_warning)) {
    text.remove_prefix(missing_prologue_warning.size());
    warned = true;
  }
  long line = -1;
  bool known = false;
  if (starts_with(text, 0, "Error: Id = ")) {
    constexpr std::string_view tail = " is  duplicate.\n";
    for (std::size_t at = text.find(tail, 12); at != std::string_view::npos; at = text.find(tail, at + 1)) {
      if (is_error_report(text.substr(at + tail.size()), {"Id"}, line)) {
        known = !warned;
        break;
      }
    }
  } else if (warned) {
    known = is_error_report(text, {"syntax error"}, line);
  } else {
    known = is_error_report(text, {"syntax error", "yacc stack overflow"}, line);
  }
  if (!known) return "status text is not a report the program writes";
  if (static_cast<std::size_t>(line) > newlines_in_document) return "error line beyond the document's line count";
  return {};
}

}  // namespace shape_detail

// All that must hold for one in-memory conversion of `document`; returns the
// first violation, or an empty text.
inline std::string check_conversion(std::string_view document, int status, std::string_view out, std::string_view err,
                                    bool trace, ShapeReport* shape = nullptr) {
  if (status < 0 || status > 2) return "exit status out of range";
  if (out.find('\0') != std::string_view::npos) return "NUL byte on standard output";
  if (err.find('\0') != std::string_view::npos) return "NUL byte on standard error";
  ShapeReport report = check_output_shape(out, trace);
  if (!report.ok) return "output shape: " + report.problem + " at offset " + std::to_string(report.offset);
  std::string problem;
  if (status == 0) {
    if (report.has_status) problem = "status 0 with a status statement";
    else if (!err.empty() && err != missing_prologue_warning) problem = "status 0 with an error message";
  } else if (status == 1) {
    const std::string& text = report.status_text;
    if (!report.has_status) problem = "status 1 without a status statement";
    else if (err.substr(0, text.size()) != text) problem = "status text is not what standard error says";
    else if (text.size() > status_text_capacity) problem = "status text beyond its capacity";
    else if (text.size() < status_text_capacity && err.size() != text.size() + 1) problem = "standard error holds more than the status text";
    else if (text.size() < status_text_capacity) {
      const auto newlines = static_cast<std::size_t>(std::count(document.begin(), document.end(), '\n'));
      problem = shape_detail::check_status_text(text, newlines);
    }
  } else {
    if (report.has_status) problem = "fatal error after a status statement";
    else if (err.empty() || err.back() != '\n') problem = "fatal error without its message";
    else {
      const std::size_t start = err.rfind('\n', err.size() - 2);
      const std::string_view last = err.substr(start == std::string_view::npos ? 0 : start + 1, err.size() - 1 - (start == std::string_view::npos ? 0 : start + 1));
      if (std::find(fatal_scanner_messages.begin(), fatal_scanner_messages.end(), last) == fatal_scanner_messages.end()) {
        problem = "fatal error with an unknown message";
      }
    }
  }
  if (shape) *shape = std::move(report);
  return problem;
}

}  // namespace xml2slist::fuzz
