#include "documents.h"

#include <algorithm>
#include <cstring>

namespace xml2slist::bench {

namespace {

// A small, fast, seedable generator: the documents must not depend on the
// platform's random number library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
  std::uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }

 private:
  std::uint64_t state_;
};

constexpr std::string_view prologue = "<?xml version=\"1.0\"?>\n";

constexpr std::string_view given_names[] = {"Ann", "Bo", "Carla", "Dmitri", "Eve", "Farid", "Grace", "Hugo",
                                            "Ines", "Jun", "Kofi", "Lena", "Mateo", "Nora", "Omar", "Priya"};
constexpr std::string_view family_names[] = {"Lee", "Ng", "Okafor", "Schmidt", "Rossi", "Silva", "Tanaka",
                                             "Haddad", "Kowalski", "Dubois", "Ivanova", "Moreau"};
constexpr std::string_view words[] = {"the",   "sample", "was",   "taken", "at",      "noon",   "and",   "kept",
                                      "cold",  "until",  "the",   "next",  "morning", "when",   "it",    "went",
                                      "to",    "the",    "lab",   "for",   "a",       "second", "count", "of",
                                      "cells", "under",  "light", "with",  "no",      "change", "seen",  "since"};

template <std::size_t N>
std::string_view pick(Random& random, const std::string_view (&table)[N]) {
  return table[random.below(N)];
}

// Ordinary records: attributes, an Id per record, names, a DataVector and
// short text runs with quoted strings and '='.
void write_records(Writer& out, std::size_t target) {
  Random random(1);
  out << prologue << "<Records source=\"field survey\" version=\"3\">\n";
  for (std::uint64_t record = 1; out.written() < target; ++record) {
    out << "  <Record Id=\"r";
    out.number(record, 7);
    out << "\" kind=\"" << (record % 3 == 0 ? "site" : "plot") << "\" visit='";
    out.number(1 + random.below(12));
    out << "'>\n    <name>" << pick(random, given_names) << ' ' << pick(random, family_names) << "</name>\n";
    out << "    <DataVector>";
    const std::size_t values = 4 + random.below(5);
    for (std::size_t i = 0; i < values; ++i) {
      if (i != 0) out << ' ';
      out.number(random.below(1000));
      out << '.';
      out.number(random.below(100), 2);
    }
    out << "</DataVector>\n    <note>";
    const std::size_t note_words = 3 + random.below(6);
    for (std::size_t i = 0; i < note_words; ++i) out << pick(random, words) << ' ';
    out << '"' << pick(random, words) << ' ' << pick(random, words) << "\" ratio=";
    out.number(random.below(100));
    out << "</note>\n";
    if (record % 4 == 0) out << "    <flag checked=\"yes\" />\n";
    out << "  </Record>\n";
  }
  out << "</Records>\n";
}

// Chains of 25 nested elements, each level with an attribute and a word.
void write_deep(Writer& out, std::size_t target) {
  constexpr std::uint64_t depth = 25;
  Random random(2);
  out << prologue << "<Tree>\n";
  while (out.written() < target) {
    for (std::uint64_t level = 1; level <= depth; ++level) {
      out << "<level";
      out.number(level, 2) << " n=\"";
      out.number(level) << "\">" << pick(random, words);
    }
    out << ' ' << pick(random, words);
    for (std::uint64_t level = depth; level >= 1; --level) {
      out << "</level";
      out.number(level, 2) << '>';
    }
    out << '\n';
  }
  out << "</Tree>\n";
}

// 10^5 distinct element names at level 1, used in turn over and over.
void write_wide(Writer& out, std::size_t target) {
  constexpr std::uint64_t distinct = 100000;
  Random random(3);
  out << prologue << "<Wide>\n";
  for (std::uint64_t i = 0; out.written() < target; ++i) {
    const std::uint64_t name = (i * 7919) % distinct;  // a fixed permutation of the names
    out << "<field";
    out.number(name, 5) << '>' << pick(random, words) << "</field";
    out.number(name, 5) << ">\n";
  }
  out << "</Wide>\n";
}

// The hash that the converter's tables of Ids and names once used, without a
// key: anyone could write texts that share its low bits.
std::uint64_t unkeyed_text_hash(std::string_view text) {
  constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15ull;
  const char* p = text.data();
  std::size_t left = text.size();
  std::uint64_t h = (left + 1) * multiplier;
  for (; left >= 8; p += 8, left -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * multiplier;
    h ^= h >> 32;
  }
  if (left >= 4) {
    std::uint32_t head, tail;
    std::memcpy(&head, p, 4);
    std::memcpy(&tail, p + left - 4, 4);
    h = (h ^ (std::uint64_t{head} << 32 | tail)) * multiplier;
  } else if (left != 0) {
    const auto byte = [p](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
    h = (h ^ (byte(0) << 16 | byte(left / 2) << 8 | byte(left - 1))) * multiplier;
  }
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

// One Id per element, every value distinct: about 10^6 of them in 100 MB.
// With `colliding`, only values whose unkeyed hash falls in the first 1/256
// of the slots of the table that holds them all are kept, so that under
// that hash every search walks one run of slots.
void write_ids(Writer& out, std::size_t target, bool colliding) {
  constexpr std::size_t line_bytes = 77;  // about, for the table's size
  int table_bits = 10;
  while ((std::size_t{7} << table_bits) / 8 < target / line_bytes) ++table_bits;
  const std::uint64_t window = std::uint64_t{1} << (table_bits - 8);
  const std::uint64_t slot_mask = (std::uint64_t{1} << table_bits) - 1;
  Random random(4);
  out << prologue << "<Registry>\n";
  char id[16] = "\"k00000000000\"";
  for (std::uint64_t i = 1; out.written() < target; ++i) {
    // Multiplying by a unit modulo a prime spreads the values without repeats.
    std::uint64_t value = (i * 2654435761ULL) % 10000000019ULL;
    for (int digit = 12; digit >= 2; --digit, value /= 10) id[digit] = static_cast<char>('0' + value % 10);
    const std::string_view text(id, 14);
    if (colliding && (unkeyed_text_hash(text) & slot_mask) >= window) continue;
    out << "<entry Id=" << text << " owner=\"" << pick(random, given_names) << "\" rank=\"";
    out.number(random.below(1000), 3) << "\">" << pick(random, words) << ' ' << pick(random, words) << ' '
                                      << pick(random, words) << ' ' << pick(random, words) << "</entry>\n";
  }
  out << "</Registry>\n";
}

// Nothing but Ids: lines `<e Id="k0000001" />` under one root, 20 bytes
// each, so that the Id table is all the work (10^6 Ids in 20 MB).
void write_dense(Writer& out, std::size_t target) {
  out << prologue << "<Dense>\n";
  for (std::uint64_t i = 1; out.written() < target; ++i) {
    out << "<e Id=\"k";
    out.number(i, 7) << "\" />\n";
  }
  out << "</Dense>\n";
}

// Short records each with an Id, 25 to a section and 4 sections to a group:
// a name, 3 to 12 numbers and a note of 2 to 8 words with a quoted string.
void write_id_records(Writer& out, std::size_t target) {
  Random random(6);
  out << prologue << "<Data>\n";
  std::uint64_t record = 1;
  for (std::uint64_t group = 1; out.written() < target; ++group) {
    out << "<group n=\"";
    out.number(group) << "\">\n";
    for (std::uint64_t section = 1; section <= 4; ++section) {
      out << "<section n=\"";
      out.number(section) << "\">\n";
      for (int i = 0; i < 25; ++i, ++record) {
        out << "<rec Id=\"r";
        out.number(record) << "\" kind=\"" << static_cast<char>('a' + random.below(3)) << "\"><name>"
                           << pick(random, given_names) << ' ' << pick(random, family_names)
                           << "</name><DataVector>";
        const std::size_t values = 3 + random.below(10);
        for (std::size_t v = 0; v < values; ++v) {
          if (v != 0) out << ' ';
          out.number(random.below(10000));
        }
        out << "</DataVector><note>";
        const std::size_t note_words = 2 + random.below(7);
        for (std::size_t w = 0; w < note_words; ++w) out << pick(random, words) << ' ';
        out << "= \"" << pick(random, words) << "\"</note></rec>\n";
      }
      out << "</section>\n";
    }
    out << "</group>\n";
  }
  out << "</Data>\n";
}

// Paragraphs of 10^4 words each, sixteen words a line.
void write_text(Writer& out, std::size_t target) {
  constexpr std::size_t paragraph_words = 10000;
  Random random(5);
  out << prologue << "<Book>\n";
  while (out.written() < target) {
    out << "<p>";
    for (std::size_t i = 0; i < paragraph_words; ++i) {
      if (i != 0) out << (i % 16 == 0 ? '\n' : ' ');
      out << pick(random, words);
    }
    out << "</p>\n";
  }
  out << "</Book>\n";
}

// Tokens of 10 MB, attribute values and words in turn: one of each at the
// least, then as many as the size holds.
void write_huge(Writer& out, std::size_t target) {
  constexpr std::size_t token = 10'000'000;
  out << prologue << "<Huge>\n";
  for (std::size_t i = 0; i < 2 || out.written() + token <= target; ++i) {
    if (i % 2 == 0) {
      out << "<blob value=\"";
      out.repeat("abcdefghijklmnopqrstuvwxyz0123456789", token);
      out << "\"/>\n";
    } else {
      out << "<word>";
      out.repeat("ABCDEFGHIJKLMNOPQRSTUVWXYZ9876543210", token);
      out << "</word>\n";
    }
  }
  out << "</Huge>\n";
}

}  // namespace

Writer::Writer(std::FILE* file) : file_(file) {
  if (file_) buffer_.reserve(block + 65536);
}

Writer& Writer::number(std::uint64_t value, int width) {
  char digits[24];
  int length = 0;
  do {
    digits[length++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (length < width) digits[length++] = '0';
  std::reverse(digits, digits + length);
  return *this << std::string_view(digits, static_cast<std::size_t>(length));
}

void Writer::repeat(std::string_view pattern, std::size_t count) {
  while (count > 0) {
    const std::size_t n = std::min(count, pattern.size());
    *this << pattern.substr(0, n);
    count -= n;
  }
}

bool Writer::flush() {
  if (!file_ || buffer_.empty()) return !failed_;
  if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) failed_ = true;
  buffer_.clear();
  return !failed_;
}

bool is_family(std::string_view family) {
  return family == "records" || family == "deep" || family == "wide" || family == "ids" || family == "text" ||
         family == "huge" || family == "colliding" || family == "dense" || family == "idrecords";
}

bool write_family(std::string_view family, std::size_t size, Writer& out) {
  if (family == "records") {
    write_records(out, size);
  } else if (family == "deep") {
    write_deep(out, size);
  } else if (family == "wide") {
    write_wide(out, size);
  } else if (family == "ids" || family == "colliding") {
    write_ids(out, size, family == "colliding");
  } else if (family == "dense") {
    write_dense(out, size);
  } else if (family == "idrecords") {
    write_id_records(out, size);
  } else if (family == "text") {
    write_text(out, size);
  } else if (family == "huge") {
    write_huge(out, size);
  } else {
    return false;
  }
  return true;
}

std::string make_document(std::string_view family, std::size_t size) {
  Writer out;
  write_family(family, size, out);
  return out.text();
}

}  // namespace xml2slist::bench
