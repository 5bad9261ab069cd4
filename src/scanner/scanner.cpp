#include "scanner/scanner.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scanner/byte_class.h"

namespace xml2slist {

namespace {
// The word loop stops at a NUL, which ends the token's value though not the token.
constexpr std::array<bool, 256> make_word_bytes_but_nul() {
  std::array<bool, 256> table = word_bytes;
  table[0] = false;
  return table;
}
constexpr std::array<bool, 256> word_bytes_but_nul = make_word_bytes_but_nul();

// Steps over whole blocks of sixteen word bytes other than NUL that lie before
// `end`. The range compares may also stop at a control byte inside a word; the
// byte loop that finishes the word simply goes on over it.
inline const unsigned char* skip_word_bytes(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(' ');  // every byte up to it: the blanks, newline and NUL
  const __m128i double_quote = _mm_set1_epi8('"');
  const __m128i apostrophe = _mm_set1_epi8('\'');
  const __m128i open = _mm_set1_epi8('<');  // '<', '=' and '>' are three bytes in a row
  const __m128i two = _mm_set1_epi8(2);
  while (end - p >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(block, space), block);
    const __m128i quotes = _mm_or_si128(_mm_cmpeq_epi8(block, double_quote), _mm_cmpeq_epi8(block, apostrophe));
    const __m128i from_open = _mm_sub_epi8(block, open);
    const __m128i markup = _mm_cmpeq_epi8(_mm_min_epu8(from_open, two), from_open);
    const __m128i hit = _mm_or_si128(_mm_or_si128(low, quotes), markup);
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#else
  (void)end;
#endif
  return p;
}

// Steps over whole blocks of sixteen bytes before `end` that hold neither `quote` nor a NUL.
inline const char* find_quote_or_nul(const char* p, const char* end, char quote) {
#if defined(__SSE2__)
  const __m128i quotes = _mm_set1_epi8(quote);
  const __m128i zeros = _mm_setzero_si128();
  while (end - p >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(block, quotes), _mm_cmpeq_epi8(block, zeros));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#else
  (void)end;
  (void)quote;
#endif
  return p;
}
}  // namespace

Scanner::Scanner(TextModeReader& input, const BufferMemory& memory)
    : input_stream_(&input), memory_(memory) {}

Scanner::~Scanner() {
  if (!current_) return;
  memory_.release(current_->chars);
  current_->~ScanBuffer();
  memory_.release(current_);
}

std::string_view Scanner::token_text() const {
  if (!chars_ || match_end_ <= token_start_) return {};
  std::string_view text(chars_ + token_start_, match_end_ - token_start_);
  return text.substr(0, text.find('\0'));
}

void Scanner::start() {
  first_call_ = false;
  if (!current_) current_ = yy_create_buffer(input_stream_, initial_buffer_size, memory_);
  load_buffer_state();
}

void Scanner::load_buffer_state() {
  chars_ = current_->chars;
  count_ = static_cast<std::size_t>(current_->count);
  position_ = token_start_ = match_end_ = current_->position;
  input_stream_ = current_->stream;
}

void Scanner::restart_input(TextModeReader* stream) {
  if (!current_) current_ = yy_create_buffer(input_stream_, initial_buffer_size, memory_);
  attach_buffer(*current_, stream);
  load_buffer_state();
}

std::size_t Scanner::read_into(std::size_t offset, std::size_t room) {
  TextModeReader& stream = *current_->stream;
  if (!current_->interactive) {
    const std::size_t n = stream.read_block(chars_ + offset, room);
    if (n == 0 && stream.error()) scanner_fatal("input in flex scanner failed");
    return n;
  }
  // A terminal: one byte at a time, up to and including a newline.
  std::size_t n = 0;
  while (n < room) {
    const int c = stream.read_byte();
    if (c < 0) {
      if (stream.error()) scanner_fatal("input in flex scanner failed");
      break;
    }
    chars_[offset + n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  return n;
}

Scanner::Refill Scanner::refill_buffer() {
  ScanBuffer& buffer = *current_;
  if (position_ > count_ + 1) scanner_fatal("fatal flex scanner internal error--end of buffer missed");
  if (buffer.status == BufferStatus::fresh) {
    buffer.stream = input_stream_;
    buffer.status = BufferStatus::reading;
  }
  // Keep the pending token text at the start of the area.
  const std::size_t shift = token_start_;
  const std::size_t kept = count_ - shift;
  std::memmove(chars_, chars_ + shift, kept);
  position_ -= shift;
  match_end_ = match_end_ >= shift ? match_end_ - shift : 0;
  token_start_ = 0;

  std::size_t n = 0;
  if (buffer.status != BufferStatus::input_ended) {
    if (buffer.size < kept + 2) {
      if (!grow_buffer(buffer, kept + 2, memory_)) scanner_fatal("fatal error - scanner input buffer overflow");
      chars_ = buffer.chars;
    }
    n = read_into(kept, std::min<std::size_t>(buffer.size - kept - 1, max_read_size));
  }
  count_ = kept + n;
  buffer.count = static_cast<std::int32_t>(count_);
  chars_[count_] = end_mark;
  chars_[count_ + 1] = end_mark;
  if (n > 0) return Refill::more_input;
  if (kept == 0) {
    restart_input(input_stream_);
    return Refill::end_of_input;
  }
  buffer.status = BufferStatus::input_ended;
  return Refill::last_match;
}

bool Scanner::fetch_more() { return refill_buffer() == Refill::more_input; }

inline int Scanner::peek() {
  if (position_ < count_ || fetch_more()) return static_cast<unsigned char>(chars_[position_]);
  return -1;
}

int Scanner::read_char() {
  const int c = peek();
  if (c >= 0) ++position_;
  return c;
}

void Scanner::push_back_char(int c) {
  if (position_ == 0) scanner_fatal("flex scanner push-back overflow");
  chars_[--position_] = static_cast<char>(c);
}

// A value runs from the token's start (a continued byte included) to `end`.
void Scanner::hold_value(std::size_t end, bool has_nul, bool pending) {
  value_end_ = end;
  value_has_nul_ = has_nul;
  value_pending_ = pending;
  value_copied_ = false;
}

// The text up to the NUL is copied, then the closing quote is appended, so
// the value stays a closed string whatever follows the NUL.
void Scanner::hold_string_cut_at_nul(char quote) {
  const std::string_view text(chars_ + token_start_, match_end_ - token_start_);
  token_value_.assign(text.substr(0, text.find('\0')));
  token_value_.push_back(quote);
  value_end_ = position_;
  value_has_nul_ = true;
  value_pending_ = false;
  value_copied_ = true;
}

inline void Scanner::leave_after(const char* text, const char* text_end, const char* next, std::int64_t line) {
  token_start_ = static_cast<std::size_t>(text - chars_);
  match_end_ = static_cast<std::size_t>(text_end - chars_);
  position_ = static_cast<std::size_t>(next - chars_);
  line_number_ = line;
}

Scanner::ReadState Scanner::read_state() const {
  return {position_,   line_number_,   token_start_,   match_end_,    prefix_,
          value_end_, value_has_nul_, value_pending_, value_copied_};
}

void Scanner::restore(const ReadState& state) {
  position_ = state.position;
  line_number_ = state.line_number;
  token_start_ = state.token_start;
  match_end_ = state.match_end;
  prefix_ = state.prefix;
  value_end_ = state.value_end;
  value_has_nul_ = state.value_has_nul;
  value_pending_ = state.value_pending;
  value_copied_ = state.value_copied;
}

void Scanner::copy_value() {
  token_value_.assign(value_text());
  value_pending_ = false;
}

namespace {
// Moves `p` past blanks and newlines, counting the newlines into `lines`, and
// returns the class of the byte it stops at. The end marks are newlines, but
// past `held_end` they stop it, so the end of the held bytes never looks like
// the start of a token.
inline ByteClass skip_blank_bytes(const char*& p, const char* held_end, std::int64_t& lines) {
  ByteClass kind;
  for (;; ++p) {
    kind = byte_class(static_cast<unsigned char>(*p));
    if (kind == ByteClass::blank) continue;
    if (kind != ByteClass::newline || p >= held_end) break;
    ++lines;
  }
  return kind;
}
}  // namespace

inline ByteClass Scanner::skip_blanks() {
  const char* const first = chars_ + position_;
  const char* p = first;
  const ByteClass kind = skip_blank_bytes(p, chars_ + count_, line_number_);
  if (p != first) prefix_ = 0;  // a continued byte goes with the blank or newline
  position_ = static_cast<std::size_t>(p - chars_);
  return kind;
}

namespace {
// Where the word at `from` ends; `readable_end` lies past the end marks, which
// are no word bytes. Sets `has_nul` when a NUL lies in the word.
inline const char* word_end(const char* from, const char* readable_end, bool& has_nul) {
  const auto* p = reinterpret_cast<const unsigned char*>(from);
  const auto* const end = reinterpret_cast<const unsigned char*>(readable_end);
  for (;;) {
    p = skip_word_bytes(p, end);
    // A control byte inside the word, or a byte of the last short block.
    if (word_bytes_but_nul[*p]) {
      ++p;
      continue;
    }
    if (*p != 0) return reinterpret_cast<const char*>(p);
    has_nul = true;  // an input NUL: the end marks are newlines, so every NUL here is held input
    ++p;
  }
}

// The closing quote of the string at `open`, or `held_end` when it is not held
// yet. The end marks are no quotes, so the blocks stay within the held bytes.
inline const char* closing_quote(const char* open, const char* held_end, bool& has_nul) {
  const char quote = *open;
  const char* p = open + 1;
  for (;;) {
    p = find_quote_or_nul(p, held_end, quote);
    while (p < held_end && *p != quote && *p != '\0') ++p;
    if (p >= held_end || *p == quote) return p;
    has_nul = true;
    ++p;
  }
}

// Plain words in a row, read at once: a span when `last_word`, where the last
// word begins, is set. `end` is null when no word was found whole, and set
// alone when just one was, which is left to the byte-by-byte reading;
// `newlines` counts only those between the words.
struct WordSpan {
  const char* end = nullptr;
  const char* last_word = nullptr;
  std::int64_t newlines = 0;
};

// From `start`, the first byte of a word, the longest stretch of whole words
// joined by exactly one blank or newline each and holding only bytes that a
// text run takes as they are: no other byte below a space, no backslash, no
// word beginning with '/' or '?' (which a run leaves to next_token()). Only
// blocks of sixteen bytes wholly within the held bytes are tested, so every
// word found ends inside them.
inline WordSpan scan_word_span(const char* start, const char* held_end) {
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(' ');
  const __m128i tab = _mm_set1_epi8('\t');
  const __m128i carriage_return = _mm_set1_epi8('\r');
  const __m128i newline = _mm_set1_epi8('\n');
  const __m128i double_quote = _mm_set1_epi8('"');
  const __m128i apostrophe = _mm_set1_epi8('\'');
  const __m128i open = _mm_set1_epi8('<');  // '<', '=' and '>' are three bytes in a row
  const __m128i two = _mm_set1_epi8(2);
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i slash = _mm_set1_epi8('/');
  const __m128i question = _mm_set1_epi8('?');
  const auto mask_of = [](__m128i hits) { return static_cast<unsigned>(_mm_movemask_epi8(hits)); };
  const char* last_separator = nullptr;
  std::int64_t newlines = 0;
  unsigned separator_before = 0;  // whether the byte before the block is a separator
  const char* p = start;
  // The span ends with its last whole word, at the last separator read.
  const auto end_at_last_separator = [&]() {
    if (last_separator == nullptr) return WordSpan{};
    if (*last_separator == '\n') --newlines;
    const char* word = last_separator;
    while (word != start && !is_span_separator(word[-1])) --word;
    return WordSpan{last_separator, word == start ? nullptr : word, newlines};
  };
  for (; held_end - p >= 16; p += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned newline_bytes = mask_of(_mm_cmpeq_epi8(block, newline));
    const unsigned separators =
        newline_bytes | mask_of(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, space), _mm_cmpeq_epi8(block, tab)),
                                             _mm_cmpeq_epi8(block, carriage_return)));
    const unsigned low = mask_of(_mm_cmpeq_epi8(_mm_min_epu8(block, space), block));
    const __m128i from_open = _mm_sub_epi8(block, open);
    // Bytes that end a word and are no separator: quotes, '<', '=' and '>'.
    const unsigned word_ends = mask_of(_mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(block, double_quote), _mm_cmpeq_epi8(block, apostrophe)),
        _mm_cmpeq_epi8(_mm_min_epu8(from_open, two), from_open)));
    // Bytes the span may not hold at all.
    const unsigned refused = (low & ~separators) | mask_of(_mm_cmpeq_epi8(block, backslash));
    const unsigned slashes = mask_of(_mm_or_si128(_mm_cmpeq_epi8(block, slash), _mm_cmpeq_epi8(block, question)));
    const unsigned after_separator = ((separators << 1) | separator_before) & 0xFFFF;
    const unsigned stops = word_ends | refused | ((separators | slashes) & after_separator);
    if (stops == 0) {
      if (separators != 0) last_separator = p + (31 - __builtin_clz(separators));
      if (newline_bytes != 0) newlines += __builtin_popcount(newline_bytes);
      separator_before = separators >> 15;
      continue;
    }
    const unsigned at = static_cast<unsigned>(__builtin_ctz(stops));
    const unsigned before = (1u << at) - 1;
    if ((separators & before) != 0) last_separator = p + (31 - __builtin_clz(separators & before));
    if ((newline_bytes & before) != 0) newlines += __builtin_popcount(newline_bytes & before);
    // A word that ends right at a quote or markup ends the span with it.
    if ((word_ends >> at & 1) != 0 && (after_separator >> at & 1) == 0) {
      return WordSpan{p + at, last_separator == nullptr ? nullptr : last_separator + 1, newlines};
    }
    return end_at_last_separator();
  }
  return end_at_last_separator();
#else
  (void)start;
  (void)held_end;
  return WordSpan{};
#endif
}

// After an attribute's name: moves `p` over '=' and blanks to the opening quote
// of a value held whole; returns its closing quote, or null.
inline const char* quoted_value_after_name(const char*& p, const char* held_end, std::int64_t& lines,
                                           bool& has_nul) {
  if (skip_blank_bytes(p, held_end, lines) != ByteClass::equals) return nullptr;
  ++p;
  const ByteClass kind = skip_blank_bytes(p, held_end, lines);
  if (kind != ByteClass::double_quote && kind != ByteClass::apostrophe) return nullptr;
  const char* const quote = closing_quote(p, held_end, has_nul);
  return quote < held_end ? quote : nullptr;  // else next_token() reads on to find it
}
}  // namespace

// The loop works on local copies of the read position and the line count and
// settles the state once at the end; runs of plain words, the common case, go
// through scan_word_span().
std::size_t Scanner::next_run_tokens(RunToken* tokens, std::size_t room) {
  value_pending_ = false;
  // Most runs end at markup right behind their last token.
  const ByteClass first = byte_class(static_cast<unsigned char>(chars_[position_]));
  if (first == ByteClass::open || first == ByteClass::close || first == ByteClass::question ||
      first == ByteClass::slash) {
    return 0;
  }
  const char* const chars = chars_;
  const char* const held_end = chars + count_;
  // The held bytes and their two end marks may be read sixteen at a time.
  const char* const readable_end = held_end + 2;
  const char* p = chars + position_;
  std::int64_t lines = line_number_;
  std::size_t prefix = prefix_;
  const char* last_start = nullptr;  // the last token's text
  const char* last_end = nullptr;
  const char* value_end = nullptr;  // the last value's end, if any
  bool value_has_nul = false;
  int last_token = 0;
  std::size_t count = 0;
  const auto skip = [&]() {
    const char* const blanks = p;
    const ByteClass kind = skip_blank_bytes(p, held_end, lines);
    if (p != blanks) prefix = 0;  // a continued byte goes with the blank or newline
    return kind;
  };
  ByteClass kind = room != 0 ? skip() : ByteClass::close;
  while (count < room) {
    const char* const start = p - prefix;
    bool has_nul = false;
    if (kind == ByteClass::plain) {
      const char* const end = word_end(p, readable_end, has_nul);
      // A word that reaches the end of the held bytes may go on in the
      // input still to be read; next_token() reads it.
      if (end >= held_end) break;
      // A word with another right behind it may begin a span of several.
      if (prefix == 0 && is_span_separator(*end) && byte_class(static_cast<unsigned char>(end[1])) == ByteClass::plain) {
        if (const WordSpan span = scan_word_span(p, held_end); span.last_word != nullptr) {
          tokens[count++] = RunToken{WORD_SPAN, {p, static_cast<std::size_t>(span.end - p)}};
          lines += span.newlines;
          last_token = WORD;
          last_start = span.last_word;
          last_end = value_end = p = span.end;
          value_has_nul = false;
          kind = count < room ? skip() : kind;
          continue;
        }
      }
      last_token = WORD;
      last_end = value_end = p = end;
    } else if (kind == ByteClass::equals) {
      tokens[count++] = RunToken{equals_sign, {}};
      last_token = equals_sign;
      last_start = start;
      last_end = ++p;
      prefix = 0;
      kind = count < room ? skip() : kind;
      continue;
    } else if (kind == ByteClass::double_quote || kind == ByteClass::apostrophe) {
      const char* const quote = closing_quote(p, held_end, has_nul);
      // next_token() reads on to find the quote, and closes a value cut short by a NUL.
      if (quote >= held_end || has_nul) break;
      last_token = STRING;
      last_end = quote;               // the text leaves the closing quote out,
      value_end = p = quote + 1;      // the value keeps it
    } else {
      break;
    }
    prefix = 0;
    last_start = start;
    value_has_nul = has_nul;
    const std::string_view value(start, static_cast<std::size_t>(value_end - start));
    tokens[count++] = RunToken{last_token, has_nul ? value.substr(0, value.find('\0')) : value};
    kind = count < room ? skip() : kind;
  }
  if (count != 0) {
    leave_after(last_start, last_end, p, lines);
    if (value_end != nullptr) {
      hold_value(static_cast<std::size_t>(value_end - chars), value_has_nul, last_token != equals_sign);
    } else {
      value_pending_ = false;
    }
  } else {  // the blanks before the next token are stepped over all the same
    position_ = static_cast<std::size_t>(p - chars);
    line_number_ = lines;
  }
  prefix_ = prefix;
  return count;
}

bool Scanner::next_attribute_value(std::string_view& value) {
  const char* const chars = chars_;
  const char* const held_end = chars + count_;
  const char* p = chars + position_;
  std::int64_t lines = line_number_;
  // A continued byte never stands before the '=' here: next_token() has
  // just returned a WORD, which leaves none.
  if (prefix_ != 0) return false;
  bool has_nul = false;
  const char* const quote = quoted_value_after_name(p, held_end, lines, has_nul);
  if (quote == nullptr || has_nul) return false;  // next_token() closes a value a NUL cuts short
  leave_after(p, quote, quote + 1, lines);  // the text leaves the closing quote out,
  hold_value(position_, has_nul);           // the value keeps it
  value = value_text();
  return true;
}

TagRead Scanner::next_tag_name(std::string_view& name) { return read_tag_name(name); }

inline TagRead Scanner::read_tag_name(std::string_view& name) {
  const char* const chars = chars_;
  const char* const held_end = chars + count_;
  const char* p = chars + position_;
  std::int64_t lines = line_number_;
  // A '<' or an ETAGS leaves no continued byte, and the name follows it at
  // once or after blanks.
  if (prefix_ != 0) return TagRead::nothing;
  const auto skip = [&]() { return skip_blank_bytes(p, held_end, lines); };
  if (skip() != ByteClass::plain) return TagRead::nothing;
  const char* const start = p;
  bool has_nul = false;
  const char* const end = word_end(start, held_end + 2, has_nul);
  if (end >= held_end) return TagRead::nothing;  // the word may go on in the input still to be read
  // The name is read: the state next_token() leaves after it.
  leave_after(start, end, end, lines);
  hold_value(match_end_, has_nul);
  name = value_text();
  p = end;
  if (skip() != ByteClass::close) return TagRead::name;
  // The '>' is read too: its text, with the name's value held but no longer
  // pending, as next_token() leaves them.
  leave_after(p, p + 1, p + 1, lines);
  value_pending_ = false;
  return TagRead::name_and_close;
}

TagRead Scanner::next_start_tag(LeafElement& leaf, RunToken* tokens, std::size_t room) {
  const TagRead read = read_tag_name(leaf.name);
  if (read != TagRead::name_and_close) return read;
  // A leaf's text is short: its end tag is the first markup within this
  // many bytes. Longer texts are left to the run steps rather than read twice.
  constexpr std::size_t longest_leaf_text = 256;
  const char* const chars = chars_;
  const char* const held_end = chars + count_;
  const char* const text = chars + position_;
  const auto window = std::min(static_cast<std::size_t>(held_end - text), longest_leaf_text);
  const auto* const open = static_cast<const char*>(std::memchr(text, '<', window));
  if (open == nullptr || open == text || open + 1 >= held_end || open[1] != '/') return read;
  const char* const end_name = open + 2;
  if (byte_class(static_cast<unsigned char>(*end_name)) != ByteClass::plain) return read;
  bool has_nul = false;
  const char* const end_name_end = word_end(end_name, held_end + 2, has_nul);
  if (has_nul || end_name_end >= held_end || *end_name_end != '>') return read;
  // The text: most often one word or a span of words, else a run read as
  // next_run_tokens() would; if the run does not end right at the end tag,
  // everything it changed is put back.
  std::size_t count = 0;
  bool word_has_nul = false;
  const bool plain = byte_class(static_cast<unsigned char>(*text)) == ByteClass::plain;
  WordSpan span;
  if (plain && word_end(text, held_end + 2, word_has_nul) == open && !word_has_nul) {
    tokens[count++] = RunToken{WORD, std::string_view(text, static_cast<std::size_t>(open - text))};
  } else if (plain && (span = scan_word_span(text, held_end)).end == open && span.last_word != nullptr) {
    tokens[count++] = RunToken{WORD_SPAN, std::string_view(text, static_cast<std::size_t>(open - text))};
    line_number_ += span.newlines;
  } else {
    const ReadState kept = read_state();
    count = next_run_tokens(tokens, room);
    if (count == 0 || chars + position_ != open) {
      restore(kept);
      return read;
    }
  }
  leaf.tokens = tokens;
  leaf.count = count;
  leaf.end_name = std::string_view(end_name, static_cast<std::size_t>(end_name_end - end_name));
  // The state next_token() leaves after the end tag's '>', its name's value
  // held but no longer pending.
  hold_value(static_cast<std::size_t>(end_name_end - chars), false, false);
  leave_after(end_name_end, end_name_end + 1, end_name_end + 1, line_number_);
  return TagRead::leaf_element;
}

std::size_t Scanner::next_tag_attributes(TagAttribute* attributes, std::size_t room, int& ending) {
  const char* const chars = chars_;
  const char* const held_end = chars + count_;
  const char* p = chars + position_;
  std::int64_t lines = line_number_;
  if (prefix_ != 0) return 0;  // a name leaves none
  const auto skip = [&]() { return skip_blank_bytes(p, held_end, lines); };
  std::size_t count = 0;
  for (ByteClass kind = skip();; kind = skip()) {
    if (kind == ByteClass::close && count != 0 && p < held_end) {
      ending = close_angle;
      break;
    }
    if (kind == ByteClass::slash && count != 0 && p + 1 < held_end && p[1] == '>') {
      ending = ETAGE;
      break;
    }
    if (kind != ByteClass::plain || count == room) return 0;
    const char* const name = p;
    bool has_nul = false;
    const char* const name_end = word_end(name, held_end + 2, has_nul);
    p = name_end;
    if (has_nul) return 0;
    const char* const quote = quoted_value_after_name(p, held_end, lines, has_nul);
    if (quote == nullptr || has_nul) return 0;
    attributes[count++] = TagAttribute{std::string_view(name, static_cast<std::size_t>(name_end - name)),
                                       std::string_view(p, static_cast<std::size_t>(quote + 1 - p)), lines};
    p = quote + 1;
  }
  // The state next_token() leaves after the '>' or "/>": the last value
  // held but no longer pending; the text of a "/>" is its '/'.
  const std::string_view last_value = attributes[count - 1].value;
  hold_value(static_cast<std::size_t>(last_value.data() + last_value.size() - chars), false, false);
  leave_after(p, p + 1, ending == ETAGE ? p + 2 : p + 1, lines);
  return count;
}

// The token that made the area large has been copied where it is needed, so the
// bytes still held move to a fresh area of the first size rather than keep the
// large one beside those copies; it is kept when no fresh area can be had.
void Scanner::release_large_area() {
  const std::size_t from = position_ - prefix_;
  const std::size_t kept = count_ - from;
  if (kept >= initial_buffer_size / 2) return;  // another long token is being read
  auto* area = static_cast<char*>(memory_.allocate(std::size_t{initial_buffer_size} + 2));
  if (!area) return;
  std::memcpy(area, chars_ + from, kept);
  memory_.release(current_->chars);
  current_->chars = chars_ = area;
  current_->size = initial_buffer_size;
  count_ = kept;
  current_->count = static_cast<std::int32_t>(kept);
  chars_[count_] = end_mark;
  chars_[count_ + 1] = end_mark;
  position_ -= from;
  token_start_ = match_end_ = value_end_ = position_;
}

int Scanner::next_token() {
  if (first_call_) start();
  if (current_->size > large_area) [[unlikely]] release_large_area();
  value_pending_ = false;
  for (;;) {
    const ByteClass kind = skip_blanks();
    const char* const p = chars_ + position_;
    token_start_ = position_ - prefix_;
    match_end_ = token_start_;
    if (position_ >= count_) {
      if (fetch_more()) continue;
      prefix_ = 0;
      return end_of_input;
    }
    prefix_ = 0;
    const unsigned char c = static_cast<unsigned char>(*p);
    switch (kind) {
      case ByteClass::plain:
        return scan_word();
      case ByteClass::double_quote:
      case ByteClass::apostrophe:
        return scan_string(c);
      case ByteClass::open:
        return scan_open();
      case ByteClass::close:
      case ByteClass::equals:
        match_end_ = ++position_;
        return c;
      case ByteClass::question:
      case ByteClass::slash: {
        ++position_;
        const int next = peek();
        if (next >= 0 && is_word_byte(static_cast<unsigned char>(next))) return scan_word();
        match_end_ = position_;
        if (next == '>') {
          ++position_;
          return c == '?' ? PROTO1E : ETAGE;
        }
        if (next < 0) {  // a lone ? or / ends the input: a one-byte word
          hold_value(match_end_, false);
          return WORD;
        }
        prefix_ = 1;  // the lone byte continues into the next match
        continue;
      }
      case ByteClass::newline:  // taken by the loop above
      case ByteClass::blank:
        break;
    }
  }
}

int Scanner::scan_open() {
  ++position_;
  const int next = peek();
  match_end_ = position_;
  switch (next) {
    case '!':
      ++position_;
      return PROTO2S;
    case '/':
      ++position_;
      return ETAGS;
    case '?':
      ++position_;
      return PROTO1S;
    default:
      return open_angle;
  }
}

int Scanner::scan_word() {
  bool has_nul = false;
  for (;;) {
    position_ = static_cast<std::size_t>(word_end(chars_ + position_, chars_ + count_ + 2, has_nul) - chars_);
    if (position_ < count_ || !fetch_more()) break;
  }
  match_end_ = position_;
  hold_value(match_end_, has_nul);
  return WORD;
}

int Scanner::scan_string(unsigned char quote) {
  ++position_;  // the opening quote
  bool has_nul = false;
  for (;;) {
    const char* const held_end = chars_ + count_;
    // The end marks are no quotes: the blocks stay within the held bytes.
    const char* p = find_quote_or_nul(chars_ + position_, held_end, static_cast<char>(quote));
    while (p < held_end && *p != static_cast<char>(quote) && *p != '\0') ++p;
    if (p < held_end && *p == '\0') {
      has_nul = true;
      position_ = static_cast<std::size_t>(p - chars_) + 1;
      continue;
    }
    position_ = static_cast<std::size_t>(p - chars_);
    if (p < held_end) break;  // the closing quote
    if (!fetch_more()) {  // the input ends inside the string: no closing quote
      match_end_ = position_;
      hold_value(match_end_, has_nul);
      return STRING;
    }
  }
  match_end_ = position_;
  ++position_;  // the closing quote stays consumed
  // The value is the whole quoted string: the text and the closing quote
  // behind it; a NUL inside ends the text's copy, not the string.
  if (has_nul) {
    hold_string_cut_at_nul(static_cast<char>(quote));
  } else {
    hold_value(position_, false);
  }
  return STRING;
}

}  // namespace xml2slist
