#include "translate/r_literals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

#include "translate/word_loads.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xml2slist {

namespace {
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex_digit(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The length of `text` from `at` while `accept` holds.
template <typename Accept>
std::size_t run_of(std::string_view text, std::size_t at, Accept accept) {
  std::size_t end = at;
  while (end < text.size() && accept(text[end])) ++end;
  return end - at;
}

// Digits (as `digit` tells) with at most one point among them, then an
// optional exponent after `exponent_letter` (either case): where they end,
// whether they hold a point and an exponent. `end` is npos when they are no
// number: no digit, or an exponent without digits.
struct NumberPart {
  std::size_t end;
  bool point;
  bool exponent;
};
NumberPart read_number_part(std::string_view number, std::size_t at, bool (*digit)(char), char exponent_letter) {
  const std::size_t whole = run_of(number, at, digit);
  at += whole;
  std::size_t fraction = 0;
  const bool point = at < number.size() && number[at] == '.';
  if (point) {
    fraction = run_of(number, at + 1, digit);
    at += 1 + fraction;
  }
  if (whole + fraction == 0) return {std::string_view::npos, point, false};
  if (at >= number.size() || (number[at] | 0x20) != exponent_letter) return {at, point, false};
  std::size_t digits_at = at + 1;
  if (digits_at < number.size() && (number[digits_at] == '+' || number[digits_at] == '-')) ++digits_at;
  const std::size_t digits = run_of(number, digits_at, is_digit);
  return {digits == 0 ? std::string_view::npos : digits_at + digits, point, true};
}

// Whether the unsigned `number` is a whole hexadecimal or decimal literal,
// read by R without a warning.
bool is_r_number(std::string_view number) {
  const bool hexadecimal = number.size() > 2 && number[0] == '0' && (number[1] == 'x' || number[1] == 'X');
  // A hexadecimal exponent is binary, after a p.
  const NumberPart part =
      hexadecimal ? read_number_part(number, 2, is_hex_digit, 'p') : read_number_part(number, 0, is_digit, 'e');
  if (part.end == std::string_view::npos) return false;
  // R reads a hexadecimal point only before an exponent.
  if (hexadecimal && part.point && !part.exponent) return false;
  const std::size_t at = part.end;
  const bool point = part.point, exponent = part.exponent;
  if (at + 1 == number.size() && number[at] == 'L') {
    // R warns about an `L` on a value that is no integer, or after a
    // decimal point that no exponent needs.
    if (point && !exponent) return false;
    const double value = std::strtod(std::string(number.substr(0, at)).c_str(), nullptr);
    return value == std::floor(value) && value <= 2147483647.0;
  }
  if (at + 1 == number.size() && number[at] == 'i') return true;
  return at == number.size();
}

// The length of the UTF-8 sequence that starts `text` at `at`, or 0 when
// the bytes there are not one (R's parser refuses those raw).
std::size_t utf8_length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  std::size_t length;
  unsigned low = 0x80, high = 0xBF;  // the bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

void append_hex_escape(TextBuffer& out, unsigned char c) {
  static constexpr char digits[] = "0123456789abcdef";
  const char escape[] = {'\\', 'x', digits[c >> 4], digits[c & 15]};
  out.append(std::string_view(escape, sizeof escape));
}

// Which bytes a literal cannot copy as they stand: in a text, all but
// printable ASCII other than '"' and '\\'; in a text whose quotes and
// backslashes are escaped already, only controls, DEL and bytes from 0x80.
enum class Quotes : bool { special, escaped };

template <Quotes quotes>
constexpr std::array<bool, 256> special_bytes = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) {
    table[c] = c < 0x20 || c >= 0x7F || (quotes == Quotes::special && (c == '"' || c == '\\'));
  }
  return table;
}();

#if defined(__SSE2__)
// The bytes of a block that are special, as set bytes.
template <Quotes quotes>
__m128i special_in(__m128i bytes) {
  // Compared as signed bytes, those from 0x80 up are below a space too.
  __m128i special = _mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)));
  if constexpr (quotes == Quotes::special) {
    special = _mm_or_si128(special, _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')),
                                                 _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))));
  }
  return special;
}

// A text of 4 to 16 bytes in one block, from two loads that may overlap.
__m128i load_short(std::string_view text) {
  std::uint64_t head, tail;
  if (text.size() >= 8) {
    const WordEnds<std::uint64_t> ends = load_word_ends<std::uint64_t>(text.data(), text.size());
    head = ends.head;
    tail = ends.tail;
  } else {
    const WordEnds<std::uint32_t> ends = load_word_ends<std::uint32_t>(text.data(), text.size());
    head = tail = std::uint64_t{ends.head} << 32 | ends.tail;
  }
  return _mm_set_epi64x(static_cast<long long>(tail), static_cast<long long>(head));
}
#endif

// The length of the start of `text` that holds no special byte; sixteen
// bytes at a time where the processor allows.
template <Quotes quotes>
std::size_t plain_prefix(std::string_view text) {
  std::size_t at = 0;
#if defined(__SSE2__)
  for (; text.size() - at >= 16; at += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
    if (const int mask = _mm_movemask_epi8(special_in<quotes>(block)); mask != 0) {
      return at + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
  }
#endif
  while (at < text.size() && !special_bytes<quotes>[static_cast<unsigned char>(text[at])]) ++at;
  return at;
}

// Whether `text` holds no special byte; one of 4 to 16 bytes is told
// without a loop.
template <Quotes quotes>
bool is_plain(std::string_view text) {
#if defined(__SSE2__)
  if (text.size() >= 4 && text.size() <= 16) return _mm_movemask_epi8(special_in<quotes>(load_short(text))) == 0;
#endif
  return plain_prefix<quotes>(text) == text.size();
}

// Copies `text` to `out` with `escape` applied to each ASCII byte it asks
// for and to each byte that does not start valid UTF-8; runs of other
// bytes are copied whole.
template <Quotes quotes, typename NeedsEscape, typename Escape>
void append_escaping(TextBuffer& out, std::string_view text, NeedsEscape needs_escape, Escape escape) {
  std::size_t start = 0;
  for (std::size_t i = plain_prefix<quotes>(text); i < text.size(); i += plain_prefix<quotes>(text.substr(i))) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      if (const std::size_t length = utf8_length(text, i); length != 0) {
        i += length;
        continue;
      }
    } else if (!needs_escape(c)) {
      ++i;
      continue;
    }
    out.append(text.substr(start, i - start));
    escape(c);
    start = ++i;
  }
  out.append(text.substr(start));
}
}  // namespace

bool is_r_constant(std::string_view word) {
  if (!word.empty() && (word[0] == '+' || word[0] == '-')) word.remove_prefix(1);
  if (!word.empty() && (is_digit(word[0]) || word[0] == '.')) return is_r_number(word);
  return word == "NA" || word == "TRUE" || word == "FALSE" || word == "Inf" || word == "NaN";
}

namespace {
// Appends `text` between double quotes as it stands; inline, as every
// plain name and text takes it.
[[gnu::always_inline]] inline void append_quoted(TextBuffer& out, std::string_view text) {
  char* const to = out.extend(text.size() + 2);
  to[0] = '"';
  copy_bytes(to + 1, text.data(), text.size());
  to[text.size() + 1] = '"';
}

// Most texts need no escape at all: they are copied whole.
template <Quotes quotes>
bool append_if_plain(TextBuffer& out, std::string_view text) {
  if (!is_plain<quotes>(text)) return false;
  append_quoted(out, text);
  return true;
}

// A control byte, DEL, or a byte that is not UTF-8, as an R string holds it:
// the common controls by name, a NUL left out (no R string holds one), the
// others in hex.
void append_control_escape(TextBuffer& out, unsigned char c) {
  switch (c) {
    case 0: return;
    case '\n': return out.append("\\n");
    case '\r': return out.append("\\r");
    case '\t': return out.append("\\t");
    default: return append_hex_escape(out, c);
  }
}
}  // namespace

void append_r_string(TextBuffer& out, std::string_view text) {
  if (append_if_plain<Quotes::special>(out, text)) return;
  if (text.size() > large_text) out.reserve(out.size() + text.size() + text.size() / 8 + 2);
  out.push_back('"');
  append_escaping<Quotes::special>(
      out, text, [](unsigned char c) { return c < 0x20 || c == 0x7F || c == '\\' || c == '"'; },
      [&out](unsigned char c) {
        if (c == '\\' || c == '"') {
          out.push_back('\\');
          return out.push_back(static_cast<char>(c));
        }
        append_control_escape(out, c);
      });
  out.push_back('"');
}

void append_r_escaped_string(TextBuffer& out, std::string_view escaped) {
  if (append_if_plain<Quotes::escaped>(out, escaped)) return;
  if (escaped.size() > large_text) out.reserve(out.size() + escaped.size() + escaped.size() / 8 + 2);
  out.push_back('"');
  append_escaping<Quotes::escaped>(
      out, escaped, [](unsigned char c) { return c < 0x20 || c == 0x7F; },
      [&out](unsigned char c) { append_control_escape(out, c); });
  out.push_back('"');
}

namespace {
// Whether a name of 4 to 16 bytes can be copied into a literal as it
// stands: no special byte and no '?'. Told from two loads, without a loop.
bool short_name_is_plain(std::string_view name) {
#if defined(__SSE2__)
  if (name.size() < 4 || name.size() > 16) return false;
  const __m128i bytes = load_short(name);
  const __m128i care = _mm_or_si128(special_in<Quotes::special>(bytes), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('?')));
  return _mm_movemask_epi8(care) == 0;
#else
  (void)name;
  return false;  // the byte loop tells
#endif
}
}  // namespace

void append_r_name(TextBuffer& out, std::string_view name) {
  if (short_name_is_plain(name)) return append_quoted(out, name);
  // Other names: checked as they are copied, in one pass.
  char* to = out.extend(name.size() + 2);
  *to++ = '"';
  bool plain = true;
  for (const char c : name) {
    plain = plain && !special_bytes<Quotes::special>[static_cast<unsigned char>(c)];
    *to++ = c == '?' ? '.' : c;
  }
  *to = '"';
  if (plain) return;
  out.truncate(out.size() - name.size() - 2);
  const std::size_t at = out.size();
  append_r_string(out, name);
  // '?' is never escaped, so each one written is one of the name's.
  char* const written = out.data() + at;
  std::replace(written, written + (out.size() - at), '?', '.');
}

bool text_is_plain(std::string_view text) { return is_plain<Quotes::special>(text); }

bool name_is_plain(std::string_view name) {
  if (short_name_is_plain(name)) return true;
  for (const char c : name) {
    if (c == '?' || special_bytes<Quotes::special>[static_cast<unsigned char>(c)]) return false;
  }
  return true;
}

}  // namespace xml2slist
