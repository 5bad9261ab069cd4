#include "translate/content_output.h"

#include <algorithm>
#include <charconv>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "translate/escaping.h"
#include "translate/statement_writer.h"

namespace xml2slist {

namespace {
// Makes room at once for a large text written with `extra` more bytes plus
// one before each byte of `escaped`, so that its pieces do not grow the
// buffer step by step, each step copying all held so far.
void reserve_for_large(TextBuffer& buffer, std::string_view text, std::size_t extra, std::string_view escaped) {
  if (text.size() <= large_text) return;
  std::size_t escapes = 0;
  for (const char c : escaped) escapes += static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
  buffer.reserve(buffer.size() + text.size() + extra + escapes);
}

// Appends `text` with each backslash doubled.
void append_escaping_backslashes(TextBuffer& buffer, std::string_view text) {
  reserve_for_large(buffer, text, 0, "\\");
  emit_doubling_backslashes(text, [&buffer](std::string_view piece) { buffer.append(piece); });
}

// Copies the words of a `words` item with `separator` between them in place
// of the blank or newline of the input; in such an item, those are the only
// bytes up to a space.
void copy_joining(char* to, std::string_view span, char separator) {
  const char* from = span.data();
  std::size_t left = span.size();
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i joint = _mm_set1_epi8(separator);
  for (; left >= 16; left -= 16, from += 16, to += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i gaps = _mm_cmpeq_epi8(_mm_min_epu8(block, space), block);
    const __m128i joined = _mm_or_si128(_mm_andnot_si128(gaps, block), _mm_and_si128(gaps, joint));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), joined);
  }
#endif
  for (std::size_t i = 0; i < left; ++i) to[i] = separates_words(from[i]) ? separator : from[i];
}
}  // namespace

// Counters for the levels down to `depth`, each starting at 0.
void ContentOutput::add_counters(std::size_t depth) { slot_counter_.resize(depth + 1, 0); }

// Most words hold no backslash: they are tested and copied inline.
inline void ContentOutput::append_word(std::string_view word, bool vector) {
  if (vector) {
    run_.append(word);
    if (r_code_ != nullptr) RCode::append_vector_item(r_items_, word, false);
  } else if (!contains_backslash(word)) {
    run_.append(word);
  } else {
    append_escaping_backslashes(run_, word);
  }
}

void ContentOutput::append_word(std::string_view word) { append_word(word, path_.current_is_vector()); }

void ContentOutput::add_further_word(ContentWord kind, std::string_view value) {
  const bool vector = path_.current_is_vector();
  run_.push_back(vector ? ',' : ' ');
  switch (kind) {
    case ContentWord::word:
      append_word(value, vector);
      break;
    case ContentWord::equals_sign:
      add_equals_sign();
      break;
    case ContentWord::quoted_string:
      add_quoted_string(value);
      break;
    case ContentWord::words:
      add_item(TextItem{kind, value}, vector);
      break;
  }
  open_slot();
}

inline void ContentOutput::add_item(TextItem item, bool vector) {
  if (item.kind == ContentWord::words) {  // words without backslashes, for either kind of element
    copy_joining(run_.extend(item.size), item.text(), vector ? ',' : ' ');
    if (vector && r_code_ != nullptr) add_r_vector_words(item.text());
  } else if (item.kind == ContentWord::word) {
    append_word(item.text(), vector);
  } else if (item.kind == ContentWord::quoted_string) {
    add_quoted_string(item.text());
  } else {
    add_equals_sign();
  }
}

void ContentOutput::add_first_item(TextItem item) { add_item(item, path_.current_is_vector()); }

void ContentOutput::add_further_items(const TextItem* items, std::size_t count) {
  const bool vector = path_.current_is_vector();
  const char separator = vector ? ',' : ' ';
  for (std::size_t i = 0; i < count; ++i) {
    run_.push_back(separator);
    add_item(items[i], vector);
    if (i == 0) open_slot();
  }
}

// In a vector element the token goes in as S code, with a backslash before
// each quote. In an ordinary element the text must read back as the document
// says: the delimiting quotes are escaped, and so are backslashes and double
// quotes inside. A token that the input ended inside has no closing quote.
void ContentOutput::add_quoted_string(std::string_view token) {
  if (token.empty()) return;
  if (path_.current_is_vector()) {
    if (r_code_ != nullptr) RCode::append_vector_item(r_items_, token, true);
    reserve_for_large(run_, token, 2, {});
    run_.push_back('\\');
    run_.append(token.substr(0, token.size() - 1));
    run_.push_back('\\');
    run_.push_back(token.back());
    return;
  }
  const std::size_t open = token.front() == '"' || token.front() == '\'' ? 0 : 1;  // after a continued ? or /
  if (open >= token.size()) {
    append_escaping_backslashes(run_, token);
    return;
  }
  const char quote = token[open];
  const bool closed = token.size() > open + 1 && token.back() == quote;
  std::string_view inside = token.substr(open + 1, token.size() - open - 1 - (closed ? 1 : 0));
  reserve_for_large(run_, token, 4, "\\\"");
  append_escaping_backslashes(run_, token.substr(0, open));
  run_.push_back('\\');
  run_.push_back(quote);
  // One pass over the bytes (a set search would look each byte up in turn).
  std::size_t start = 0;
  for (std::size_t i = 0; i < inside.size(); ++i) {
    if (inside[i] != '\\' && inside[i] != '"') continue;
    run_.append(inside.substr(start, i - start));
    run_.push_back('\\');
    start = i;  // the special byte itself goes with the next piece
  }
  run_.append(inside.substr(start));
  if (closed) {
    run_.push_back('\\');
    run_.push_back(quote);
  }
}

// Most vectors are numbers: while every word of the run is a plain decimal
// (digits with at most one '.', not the '.' alone), the words are copied as
// they stand, each separator written as ", ", in one pass; otherwise the
// copy is dropped and each word goes in on its own.
void ContentOutput::add_r_vector_words(std::string_view span) {
  const std::size_t kept = r_items_.size();
  char* const begin = r_items_.extend(2 * span.size() + 2);
  char* to = begin;
  if (kept != 0) {
    *to++ = ',';
    *to++ = ' ';
  }
  bool digit = false;
  bool point = false;
  for (const char c : span) {
    if (c >= '0' && c <= '9') {
      digit = true;
      *to++ = c;
    } else if (c == '.' && !point) {
      point = true;
      *to++ = c;
    } else if (separates_words(c) && digit) {
      digit = point = false;
      *to++ = ',';
      *to++ = ' ';
    } else {
      digit = false;
      break;
    }
  }
  if (digit) {
    r_items_.truncate(kept + static_cast<std::size_t>(to - begin));
    return;
  }
  r_items_.truncate(kept);
  std::size_t start = 0;
  for (std::size_t i = 0; i <= span.size(); ++i) {
    if (i < span.size() && !separates_words(span[i])) continue;
    RCode::append_vector_item(r_items_, span.substr(start, i - start), false);
    start = i + 1;
  }
}

void ContentOutput::open_slot() {
  if (slot_open_) return;
  if (r_code_ != nullptr) {  // the slot is told with its value
    ++counter();
    slot_open_ = true;
    return;
  }
  write_statement(out_, path_.path(), "[[", Decimal(static_cast<std::uint64_t>(++counter())), "]]");
  slot_open_ = true;
}

void ContentOutput::flush_text() {
  if (!run_.empty()) {
    open_slot();
    if (r_code_ != nullptr) {
      give_run_to_r_code();
    } else if (path_.current_is_vector()) {
      write_statement(out_, "_c(", run_.view(), ")\n");
    } else {
      write_statement(out_, "_\"", run_.view(), "\"\n");
    }
    run_.clear(large_text);
  } else if (slot_open_) {  // a run of empty words only
    if (r_code_ != nullptr) {
      r_code_->set_text(counter(), {});
    } else {
      out_ << "_\"\"\n";
    }
  }
  slot_open_ = false;
}

void ContentOutput::give_run_to_r_code() {
  if (path_.current_is_vector()) {
    r_code_->set_vector(counter(), r_items_.view());
    r_items_.clear(large_text);
  } else {
    r_code_->set_text(counter(), run_.view());
  }
}

}  // namespace xml2slist
