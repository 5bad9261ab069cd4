#include "scanner/scanner.h"

#include <algorithm>
#include <cstring>

#include "scanner/byte_class.h"

namespace xml2slist {

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

void Scanner::copy_value(std::size_t end) {
  std::string_view text(chars_ + token_start_, end - token_start_);
  token_value_.assign(text.substr(0, text.find('\0')));
}

int Scanner::next_token() {
  if (first_call_) start();
  for (;;) {
    token_start_ = position_ - prefix_;
    match_end_ = token_start_;
    prefix_ = 0;
    const int c = peek();
    if (c < 0) return end_of_input;
    switch (byte_class(static_cast<unsigned char>(c))) {
      case ByteClass::newline:
        ++position_;
        ++line_number_;
        continue;
      case ByteClass::blank:
        ++position_;
        continue;
      case ByteClass::double_quote:
      case ByteClass::apostrophe:
        return scan_string(static_cast<unsigned char>(c));
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
          copy_value(match_end_);
          return WORD;
        }
        prefix_ = 1;  // the lone byte continues into the next match
        continue;
      }
      case ByteClass::plain:
        return scan_word();
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
  for (;;) {
    const auto* p = reinterpret_cast<const unsigned char*>(chars_ + position_);
    while (is_word_byte(*p)) ++p;  // the end marks are not word bytes
    position_ = static_cast<std::size_t>(reinterpret_cast<const char*>(p) - chars_);
    if (position_ < count_ || !fetch_more()) break;
  }
  match_end_ = position_;
  copy_value(match_end_);
  return WORD;
}

int Scanner::scan_string(unsigned char quote) {
  ++position_;  // the opening quote
  for (;;) {
    const void* found = std::memchr(chars_ + position_, quote, count_ - position_);
    if (found) {
      position_ = static_cast<std::size_t>(static_cast<const char*>(found) - chars_);
      break;
    }
    position_ = count_;
    if (!fetch_more()) {  // the input ends inside the string: no closing quote
      match_end_ = position_;
      copy_value(match_end_);
      return STRING;
    }
  }
  match_end_ = position_;
  ++position_;  // the closing quote stays consumed
  copy_value(match_end_);
  if (token_value_.size() == match_end_ - token_start_) token_value_.push_back(static_cast<char>(quote));
  return STRING;
}

}  // namespace xml2slist
