#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "translate/text_table.h"
#include "translate/word_loads.h"

namespace xml2slist {

// How often each member name has been met at one level; a level may hold a
// hundred thousand names. Most levels see the same few names over and over
// (the fields of a record), so the last few names met are compared first,
// without hashing. A level whose names keep changing soon stops comparing.
class NameCounts {
 public:
  // With `noted`, each name carries a note for the R writer (see note_of()).
  explicit NameCounts(bool noted = false)
      : names_(true, process_hash_key(), false, noted ? sizeof(std::uint32_t) : 0), noted_(noted) {}

  // A meeting of a name: how many came before it, and the name's identity
  // at this level, the same at each meeting until clear().
  struct Met {
    std::int64_t before;
    char* name;
  };
  // Counts one more meeting of `name`.
  Met meet(std::string_view name) {
    if (misses_ >= misses_before_giving_up) {
      char* const counter = names_.find_or_add_counted(name).counter;
      return {names_.count_one_more(counter), counter};
    }
    for (std::size_t i = 0; i < filled_; ++i) {
      Recent& recent = recent_[i];
      if (recent.size == name.size() && same_bytes(recent.text, name)) {
        misses_ = 0;
        return {count_one_more(recent), recent.counter};
      }
    }
    ++misses_;
    const TextTable::Counted found = names_.find_or_add_counted(name);
    Recent recent{found.counter, found.text, name.size()};
    const std::int64_t before = count_one_more(recent);
    // A name met once so far may well be the only one of its kind.
    if (before != 0) remember(recent);
    return {before, found.counter};
  }
  // The identity of `name` if it has been met at this level, else null.
  char* find(std::string_view name) { return names_.find_counted(name); }
  // The note a name of this level carries: 0 until set_note(), and always
  // on a level made without notes.
  std::uint32_t note_of(const char* name) const {
    std::uint32_t note = 0;
    if (noted_) std::memcpy(&note, name + 1, sizeof note);  // behind the counter byte
    return note;
  }
  // Does nothing on a level made without notes.
  void set_note(char* name, std::uint32_t note) {
    if (noted_) std::memcpy(name + 1, &note, sizeof note);
  }
  bool empty() const { return names_.size() == 0; }
  // Forgets every name.
  void clear() {
    names_.clear();
    filled_ = 0;
    next_recent_ = 0;
    misses_ = 0;
  }

 private:
  static constexpr int misses_before_giving_up = 16;

  struct Recent {
    char* counter = nullptr;
    const char* text = nullptr;
    std::size_t size = 0;
    std::int64_t* wide = nullptr;  // the count, once the counter byte is full
  };

  // The name met most often at a level is counted past a byte's reach
  // without a search of the table's wide counts each time.
  std::int64_t count_one_more(Recent& recent) {
    if (recent.wide != nullptr) return (*recent.wide)++;
    if (static_cast<unsigned char>(*recent.counter) == TextTable::wide) {
      recent.wide = names_.wide_counter(recent.counter);
      return (*recent.wide)++;
    }
    return names_.count_one_more(recent.counter);
  }

  void remember(const Recent& recent) {
    if (filled_ < recent_.size()) {
      recent_[filled_++] = recent;
      return;
    }
    recent_[next_recent_] = recent;
    next_recent_ = (next_recent_ + 1) % recent_.size();
  }

  // Whether the `text.size()` bytes at `kept` are those of `text`; short
  // names are compared inline.
  static bool same_bytes(const char* kept, std::string_view text) {
    const std::size_t size = text.size();
    if (size >= 8 && size <= 16) {
      const WordEnds<std::uint64_t> a = load_word_ends<std::uint64_t>(kept, size);
      const WordEnds<std::uint64_t> b = load_word_ends<std::uint64_t>(text.data(), size);
      return ((a.head ^ b.head) | (a.tail ^ b.tail)) == 0;
    }
    if (size >= 4 && size < 8) {
      const WordEnds<std::uint32_t> a = load_word_ends<std::uint32_t>(kept, size);
      const WordEnds<std::uint32_t> b = load_word_ends<std::uint32_t>(text.data(), size);
      return ((a.head ^ b.head) | (a.tail ^ b.tail)) == 0;
    }
    return std::memcmp(kept, text.data(), size) == 0;
  }

  TextTable names_;
  bool noted_;
  std::array<Recent, 8> recent_{};  // the first filled_ are names of the level
  std::size_t filled_ = 0;
  std::size_t next_recent_ = 0;  // the one replaced next once all are filled
  int misses_ = 0;  // lookups in a row that the recent names missed
};

}  // namespace xml2slist
