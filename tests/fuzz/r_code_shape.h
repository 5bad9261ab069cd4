#pragma once

// What must hold for every R program xml2r writes, whatever the document:
// every string literal is closed and holds no byte R refuses raw, and
// outside the literals there is nothing but the program's own code: its
// few functions and variables, numbers, NA/TRUE/FALSE/Inf/NaN and
// punctuation. So no text of the document can run as code.
#include <cctype>
#include <cstddef>
#include <string>
#include <string_view>

namespace xml2slist::fuzz {

// The length of the UTF-8 sequence at `at` (0 if there is none): R's
// parser refuses other bytes raw in a literal.
inline std::size_t utf8_length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (lead < 0xC2 || lead > 0xF4 || text.size() - at < length) return 0;
  const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

inline bool is_r_code_word(std::string_view word) {
  static constexpr std::string_view own[] = {
      "if", "exists", "is.list", "Vesko", "status", "list", "c", "character", "NULL", "assign",
      "names", "rm", "paste0", "seq_len", "NA", "TRUE", "FALSE", "Inf", "NaN"};
  for (const std::string_view known : own) {
    if (word == known) return true;
  }
  // The depth variables x_1, n_1, ...
  if (word.size() >= 3 && (word[0] == 'x' || word[0] == 'n') && word[1] == '_') {
    for (std::size_t i = 2; i < word.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(word[i]))) return false;
    }
    return true;
  }
  return false;
}

// An empty string, or what is wrong with `code`.
inline std::string check_r_code(std::string_view code) {
  constexpr std::string_view start = "if (!exists(\"Vesko\") || !is.list(Vesko)) Vesko <- list()\nVesko$status <- NULL\n";
  if (!code.starts_with(start)) return "the program does not start by resetting Vesko$status";
  for (std::size_t i = 0; i < code.size();) {
    const unsigned char c = static_cast<unsigned char>(code[i]);
    if (c == '"') {
      for (++i;; ++i) {
        if (i >= code.size()) return "a string literal is not closed";
        const unsigned char in = static_cast<unsigned char>(code[i]);
        if (in == '"') break;
        if (in == '\\') {
          ++i;
          continue;
        }
        if (in < 0x20 || in == 0x7F) return "a string literal holds a raw control byte";
        if (in >= 0x80) {
          const std::size_t length = utf8_length(code, i);
          if (length == 0) return "a string literal holds a byte that is not UTF-8";
          i += length - 1;
        }
      }
      ++i;
    } else if (c == '`') {
      if (code.substr(i).starts_with("`attributes<-`")) {
        i += 14;
      } else if (code.substr(i).starts_with("`names<-`")) {
        i += 9;
      } else {
        return "a backquoted name other than `attributes<-` and `names<-`";
      }
    } else if (code.substr(i).starts_with("|>")) {  // the pipe that hands an element's list to its attributes
      i += 2;
    } else if (std::isdigit(c) || (c == '.' && i + 1 < code.size() && std::isdigit(static_cast<unsigned char>(code[i + 1])))) {
      // A number: digits, letters of hex, exponent and suffix, '.'.
      for (++i; i < code.size() && (std::isalnum(static_cast<unsigned char>(code[i])) || code[i] == '.' ||
                                    ((code[i] == '+' || code[i] == '-') && (code[i - 1] == 'e' || code[i - 1] == 'E' ||
                                                                          code[i - 1] == 'p' || code[i - 1] == 'P')));
           ++i) {
      }
    } else if (std::isalpha(c) || c == '.') {
      std::size_t end = i;
      while (end < code.size() && (std::isalnum(static_cast<unsigned char>(code[end])) || code[end] == '_' ||
                                   code[end] == '.')) {
        ++end;
      }
      if (!is_r_code_word(code.substr(i, end - i))) return "the name " + std::string(code.substr(i, end - i)) + " is not the program's";
      i = end;
    } else if (std::string_view(" \n()[]<-,:;=!|$+").find(static_cast<char>(c)) != std::string_view::npos) {
      ++i;
    } else {
      return std::string("the byte ") + std::to_string(c) + " stands outside a string literal";
    }
  }
  return {};
}

}  // namespace xml2slist::fuzz
