#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output/output_stream.h"
#include "translate/keyed_hash.h"
#include "translate/name_counts.h"
#include "translate/position_list.h"
#include "translate/text_buffer.h"

namespace xml2slist {

// Writes R code that builds the document's tree, in place of the S
// statements; the translation decides what goes where, as for S.
//
// Each element is built once, when it closes, as one expression; its items
// (texts and child elements) go into its list by position, never by name:
// R finds a member by name only by walking the names, so code that
// addresses members by name loads in quadratic time. The code of the open
// elements is held in one buffer, outermost first: a small element's
// list() expression is written where it stands among its parent's items,
// and stays there when it closes; its attributes and member names follow
// it through R's pipe (`|>`), so nothing written before has to move. One
// whose code grows large, that descendants more than longest_kept_chain
// levels down enclose, or whose child takes the place of a member of the
// same name, is gathered in the variable of its depth, x_1, x_2, ..., with
// its member names in n_1, n_2, ...; its items go there in batches, one
// statement for many. Every text of the document goes into R as a string
// literal; no name is ever code.
class RCode {
 public:
  explicit RCode(OutputStream& out) : out_(out) {}

  // Starts the program: an error status of an earlier run does not carry over.
  void begin();
  // An element is opened as member `member` of the current one: its first
  // `base_size` bytes are its name with the replacement, the rest the digits
  // of `repeat` (none for 0).
  // `name` is the name's identity among the names of its level, `level`.
  void open_element(std::string_view member, std::size_t base_size, std::int64_t repeat, char* name,
                    NameCounts& level);
  // An attribute of the element just opened: its name with the replacement
  // and its value as collected, quoted strings back to back or nothing.
  void add_attribute(std::string_view name, std::string_view value);
  // A text run at `position` of the current element's list, escaped as in
  // an S string.
  void set_text(std::int64_t position, std::string_view escaped);
  // A vector at `position`: the items of a c() call, R code written here
  // (append_vector_item), or nothing for an empty string.
  void set_vector(std::int64_t position, std::string_view items);
  void close_element();
  // Builds the elements still open and sets the error status.
  void write_status(std::string_view status_text);
  // Builds the elements still open and removes the variables used.
  void finish();

  // Appends one item of a vector element's run to `items`: an R constant as
  // it stands, any other word, '=' or quoted string as a string; an empty
  // word adds nothing.
  static void append_vector_item(TextBuffer& items, std::string_view word, bool quoted) {
    if (word.empty()) return;
    if (!items.empty()) items.append(", ");
    // Most words of a vector are plain decimals, told without a call.
    if (!quoted && is_plain_decimal(word)) return items.append(word);
    append_other_vector_item(items, word, quoted);
  }

 private:
  // The most bytes of code held for an element's kept list or for a batch
  // of items; beyond it they are written.
  static constexpr std::size_t largest_held_code = 64 * 1024;
  // The most elements kept one inside another: each opens a parenthesis
  // that stays open until it closes, and R's parser takes only about fifty.
  static constexpr std::size_t longest_kept_chain = 24;

  // The repeat numbers of one name met among an element's children, and
  // the position each of them took in its list.
  struct Repeats {
    const char* name;  // the name's identity at its level
    std::int64_t first;
    // Of repeats `first` on: a parent's children of one name have
    // consecutive repeat numbers.
    PositionList positions;
  };
  // The names met among an element's children. Each name's note at its
  // level holds its entry's number here: the entry is found without a
  // search. Kept from one element to the next of a depth, so that their
  // storage is reused.
  class ChildNames {
   public:
    void clear();
    // The entry of the name `name` of `level`, null when it has not been met.
    Repeats* find(const char* name, const NameCounts& level);
    // Counts `repeat` of the name `name` (`base` as text), which took `position`.
    void meet(char* name, NameCounts& level, std::string_view base, std::int64_t repeat, std::int64_t position);
    // Whether the name of a child met so far ends in a digit.
    bool digit_bases() const { return digit_bases_; }
    // The largest repeat number met.
    std::int64_t largest_repeat() const { return largest_repeat_; }
    // False when no name of `size` bytes has been met: most searches for
    // a member name that may be taken end here.
    bool may_hold(std::size_t size) const { return (sizes_ >> std::min<std::size_t>(size, 63) & 1) != 0; }

   private:
    Repeats& entry(std::size_t i) { return blocks_[i / block_size][i % block_size]; }
    // The entries, in blocks that never move: an element may have a
    // hundred thousand names, which a vector would copy each time it grew.
    // The first count_ are in use; the rest keep their storage.
    static constexpr std::size_t block_size = 64;
    std::vector<std::unique_ptr<Repeats[]>> blocks_;
    std::size_t count_ = 0;
    bool digit_bases_ = false;
    std::int64_t largest_repeat_ = 0;
    std::uint64_t sizes_ = 0;  // bit n: a name of n bytes (63: of 63 or more) was met
  };
  // An open element.
  struct Open {
    std::string x, n;          // the names of its depth's variables
    TextBuffer member;         // as the translation named it, a string literal
    bool collides = false;     // its member name is taken in the parent already
    std::int64_t position = 0;  // in its parent's list
    TextBuffer attributes;     // `"name" = value, ` for each attribute
    TextBuffer long_names;     // attributes whose names R takes only as strings: their names
    TextBuffer long_values;    // and the values, each followed by ", "
    bool in_variable = false;  // its list is gathered in x_<depth>
    // Where its code begins in code_: "list(" and its items while it is
    // kept; once it is in its variable, the batch of items from position
    // batch_start on. Each item is followed by ", ".
    std::size_t code_at = 0;
    // The member names of those items (a string literal, "" for a text),
    // once some item has one.
    TextBuffer names;
    bool named = false;         // some item has a member name
    std::int64_t length = 0;    // of its list so far, held items included
    std::int64_t batch_start = 1;
    std::int64_t named_length = 0;  // of n_<depth> in R
    ChildNames children;
  };

  // Digits with at most one '.' among them, and not the '.' alone.
  static bool is_plain_decimal(std::string_view word) {
    bool point = false;
    for (const char c : word) {
      if (c == '.' && !point) {
        point = true;
      } else if (c < '0' || c > '9') {
        return false;
      }
    }
    return word.size() > (point ? 1u : 0u);
  }
  static void append_other_vector_item(TextBuffer& items, std::string_view word, bool quoted);

  Open& current() { return open_[depth_ - 1]; }
  // The names of the variables of `depth`.
  const std::string& x_of(std::size_t depth) { return open_[depth - 1].x; }
  // The position of the member of the current element that `member`
  // (`base` with `repeat`) names already, or 0 when it names none; then
  // counts it among them, at that position or the next one.
  std::int64_t meet_member(std::string_view member, std::string_view base, std::int64_t repeat, char* name,
                           NameCounts& level);
  // Where `base` with `repeat` went among the current element's members, or 0.
  static std::int64_t position_of(ChildNames& names, NameCounts& level, std::string_view base, std::int64_t repeat);
  // The items held for the element at `depth`, without the last ", ":
  // they end where the code of its open child begins.
  std::string_view held_items(std::size_t depth) const;
  // Moves the elements from the outermost down to `depth` into their
  // variables, those not there yet: an element in its variable has all its
  // ancestors in theirs.
  void move_to_variables(std::size_t depth);
  // Starts the item at `position` of the current element, after a NULL for
  // each position skipped.
  void begin_item(std::int64_t position);
  // Ends that item, under the member name `name` (a string literal) or none.
  void end_item(std::int64_t position, std::string_view name);
  // Writes the items held for the element at `depth`, in its variable.
  void write_batch(std::size_t depth);
  // Removes the code held from `from` to the start of the code of the
  // element below `depth`; what the elements below hold moves down.
  void remove_code(std::size_t depth, std::size_t from);
  // R takes names of up to this many bytes as names of variables and of
  // attributes; longer ones only as strings.
  static constexpr std::size_t longest_r_name = 9999;
  // Ends the current element's list in place, or names its variable.
  void complete_list();
  // Hands the rest of the current element's expression, its attributes and
  // member names, to `emit` in pieces.
  template <typename Emit>
  void end_value(Emit&& emit);
  // Writes the current element, whose attributes are too large to hold,
  // into its parent's variable at once.
  void store_large();
  void close_all();
  // Appends the R string of an attribute value as collected.
  void append_value(TextBuffer& to, std::string_view value);
  // Appends `"name" = "value", ` for an attribute whose name and value need
  // no care; false, appending nothing, for any other.
  static bool append_plain_attribute(TextBuffer& to, std::string_view name, std::string_view value);

  OutputStream& out_;
  std::vector<Open> open_;  // by depth; entries past depth_ are kept for reuse
  TextBuffer code_;         // the held code of the open elements, outermost first
  std::size_t depth_ = 0;
  std::size_t in_variables_ = 0;  // the open elements down to this depth are in their variables
  std::size_t variables_ = 0;     // x_1 and n_1 up to this depth exist in R
  TextBuffer line_;               // the status text as a string literal
  std::string value_text_;        // an attribute value of several strings, joined
};

}  // namespace xml2slist
