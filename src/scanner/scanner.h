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

  // The readers ahead below let the parser take several steps at once. They
  // read only tokens that end within the bytes held, as next_token() would,
  // and what they give stays valid until the next next_token().

  // Up to `room` tokens of a text run: WORDs not starting with ? or / (a row of
  // them may come as one WORD_SPAN), '=' and STRINGs. Steps over the blanks
  // before the token it stops at.
  std::size_t next_run_tokens(RunToken* tokens, std::size_t room);

  // After a WORD: an '=' and a STRING, its value in `value`; else false, having changed nothing.
  bool next_attribute_value(std::string_view& value);

  // After a '<' or an ETAGS: the name (a WORD starting with a plain byte) and a '>' right after it.
  TagRead next_tag_name(std::string_view& name);

  // After a '<': as next_tag_name() into `leaf.name`, or a whole leaf element:
  // its text in at most `room` tokens at `tokens`, then </name> with no blanks.
  TagRead next_start_tag(LeafElement& leaf, RunToken* tokens, std::size_t room);

  // After a start tag's name: the whole rest of the tag, at most `room`
  // attributes name="value" free of NUL and the '>' or "/>" whose token goes in
  // `ending`; 0 having read nothing.
  std::size_t next_tag_attributes(TagAttribute* attributes, std::size_t room, int& ending);

  // The last WORD's or STRING's value up to its first NUL (a STRING keeps both
  // quotes); copied out only on demand, as most values are read in place
  // through value_text().
  std::string& token_value() {
    if (value_pending_) copy_value();
    return token_value_;
  }
  // The same value in place (or in its copy, for a string a NUL cut short);
  // valid until the next next_token().
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
  // The one place every reader ahead leaves the state as next_token() would
  // after its last token; the value is held apart by hold_value().
  void leave_after(const char* text, const char* text_end, const char* next, std::int64_t line);
  void hold_string_cut_at_nul(char quote);
  // What reading ahead changes, to be put back when what was read turns out not to be wanted.
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
  // The value lives in token_value_ only: a string a NUL cut short still ends
  // with its closing quote there.
  bool value_copied_ = false;
  bool first_call_ = true;
};

}  // namespace xml2slist
