#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scanner/scan_buffer.h"
#include "scanner/text_mode_reader.h"
#include "scanner/token.h"

namespace xml2slist {

enum class ByteClass : std::uint8_t;

// Cuts the input into tokens by longest match over the byte classes.
class Scanner {
 public:
  explicit Scanner(TextModeReader& input, const BufferMemory& memory = platform_memory());
  ~Scanner();
  Scanner(const Scanner&) = delete;
  Scanner& operator=(const Scanner&) = delete;

  // The next token's number, 0 at the end of the input. A WORD or STRING
  // leaves its value for token_value() and value_text(). Throws ScannerFatal.
  int next_token();

  // After a token: reads the following tokens, up to `room` of them, for as
  // long as each is a WORD that starts with a plain byte (not a ? or /), an
  // '=' or a quoted STRING, and ends within the bytes held; they are read as
  // next_token() would read them, into `tokens`, whose values stay valid
  // until the next next_token(). Several WORDs in a row may come as one
  // WORD_SPAN. Returns how many were read. It never reads more input: it
  // stops after stepping over the blanks before any other token, and
  // next_token() goes on from there.
  std::size_t next_run_tokens(RunToken* tokens, std::size_t room);

  // After a WORD: when the next two tokens are an '=' and a quoted STRING
  // that ends within the bytes held, reads both as next_token() would and
  // puts the STRING's value in `value` (valid until the next next_token());
  // otherwise leaves everything as it is and returns false.
  bool next_attribute_value(std::string_view& value);

  // After a '<' or an ETAGS: when the next token is a WORD that starts with
  // a plain byte and ends within the bytes held, reads it as next_token()
  // would, puts its value in `name` (valid until the next next_token()) and
  // reads a '>' that follows it as well. Otherwise leaves everything as it
  // is.
  TagRead next_tag_name(std::string_view& name);

  // After a '<': as next_tag_name(), putting the name in `leaf.name`; and
  // when the '>' is followed by a text run that next_run_tokens() reads
  // whole into at most `room` tokens at `tokens`, and then at once by an end
  // tag </name> without blanks, all within the bytes held, reads them too,
  // as next_token() would, and puts them in `leaf` (valid until the next
  // next_token()).
  TagRead next_start_tag(LeafElement& leaf, RunToken* tokens, std::size_t room);

  // After the name of a start tag: when the rest of the tag is one or more
  // attributes name="value" and its '>' or "/>",
  // all within the bytes held, the values free of NUL bytes, and there are
  // no more attributes than `room`, reads them all as next_token() would,
  // up to and including the end, puts the end's token (close_angle or
  // ETAGE) in `ending` and returns how many attributes it put in
  // `attributes` (valid until the next next_token()). Otherwise reads
  // nothing and returns 0.
  std::size_t next_tag_attributes(TagAttribute* attributes, std::size_t room, int& ending);

  // The value of the last WORD or STRING (a STRING keeps both quotes), up
  // to its first NUL byte. It is copied out of the input buffer only when
  // first asked for, as most values are read in place through value_text().
  std::string& token_value() {
    if (value_pending_) copy_value();
    return token_value_;
  }
  // The same value in the input buffer (or, for a string cut short by a NUL,
  // in its copy); valid until the next next_token().
  std::string_view value_text() const {
    if (value_copied_) return token_value_;
    const std::string_view text(chars_ + token_start_, value_end_ - token_start_);
    return value_has_nul_ ? text.substr(0, text.find('\0')) : text;
  }
  // The text of the token scanned last, up to its first NUL byte.
  std::string_view token_text() const;
  // Newlines matched outside quoted strings so far.
  std::int64_t line_number() const { return line_number_; }
  // Capacity of the input area, end marks not counted (0 before the first call).
  std::uint32_t buffer_size() const { return current_ ? current_->size : 0; }

  // The next input byte (0-255), consumed; -1 at the end of the input.
  int read_char();
  // Gives `c` back in front of the read position.
  void push_back_char(int c);

 private:
  enum class Refill { more_input = 0, end_of_input = 1, last_match = 2 };
  // An input area larger than this is given back once its long token is read.
  static constexpr std::uint32_t large_area = std::uint32_t{1} << 20;

  void start();
  void load_buffer_state();
  void restart_input(TextModeReader* stream);
  void release_large_area();
  Refill refill_buffer();
  std::size_t read_into(std::size_t offset, std::size_t room);

  TagRead read_tag_name(std::string_view& name);
  int peek();
  bool fetch_more();
  ByteClass skip_blanks();
  int scan_open();
  int scan_word();
  int scan_string(unsigned char quote);
  void hold_value(std::size_t end, bool has_nul, bool pending = true);
  // The state next_token() leaves after a token read ahead: its text from
  // `text` to `text_end`, reading going on at `next`, `line` newlines
  // counted; its value is held apart by hold_value(). Every reader ahead
  // settles its last token here.
  void leave_after(const char* text, const char* text_end, const char* next, std::int64_t line);
  void hold_string_cut_at_nul(char quote);
  // What reading ahead within the held bytes changes, to be put back when
  // what was read turns out not to be wanted.
  struct ReadState {
    std::size_t position;
    std::int64_t line_number;
    std::size_t token_start;
    std::size_t match_end;
    std::size_t prefix;
    std::size_t value_end;
    bool value_has_nul;
    bool value_pending;
    bool value_copied;
  };
  ReadState read_state() const;
  void restore(const ReadState& state);
  void copy_value();

  TextModeReader* input_stream_;
  const BufferMemory& memory_;
  ScanBuffer* current_ = nullptr;
  char* chars_ = nullptr;
  std::size_t position_ = 0;     // the read position
  std::size_t count_ = 0;        // the working copy of the held count
  std::size_t token_start_ = 0;  // start of the current token text, prefix included
  std::size_t match_end_ = 0;    // end of the current token text
  std::size_t prefix_ = 0;       // continuation prefix for the next match (0 or 1)
  std::int64_t line_number_ = 0;  // 64 bits: a document may have more than 2^31 lines
  std::string token_value_;
  // The last value, not yet copied: its end and whether a NUL cuts it short.
  std::size_t value_end_ = 0;
  bool value_has_nul_ = false;
  bool value_pending_ = false;
  // The last value lives in token_value_ only: a string whose NUL ends the
  // copy of its text still ends with its closing quote.
  bool value_copied_ = false;
  bool first_call_ = true;
};

}  // namespace xml2slist
