#include "translate/r_code.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "translate/r_literals.h"

namespace xml2slist {

namespace {
bool ends_in_digit(std::string_view text) { return !text.empty() && text.back() >= '0' && text.back() <= '9'; }

// R gives these attributes a meaning of their own on a list and refuses
// most values for them; a document's attribute of that name, or with an
// empty name, which R cannot store, is kept as "xml:" and the name. No
// other name can begin so: element and attribute names hold no ':'.
bool needs_xml_prefix(std::string_view name) {
  switch (name.size()) {
    case 0: return true;
    case 3: return name == "dim" || name == "tsp";
    case 5: return name == "names" || name == "class";
    case 8: return name == "dimnames";
    default: return false;
  }
}

// The text an attribute value stands for: the insides of its quoted
// strings, joined (a value replaced by two entity declarations has two).
void append_value_text(std::string& text, std::string_view value) {
  while (!value.empty()) {
    const char quote = value.front();
    if (quote != '"' && quote != '\'') {
      text.append(value);
      return;
    }
    const std::size_t end = value.find(quote, 1);
    if (end == std::string_view::npos) {  // the input ended inside the string
      text.append(value.substr(1));
      return;
    }
    text.append(value.substr(1, end - 1));
    value.remove_prefix(end + 1);
  }
}

// The names or items held, without the ", " after the last.
std::string_view held(const TextBuffer& list) {
  std::string_view text = list.view();
  if (!text.empty()) text.remove_suffix(2);
  return text;
}
}  // namespace

void RCode::begin() {
  out_ << "if (!exists(\"Vesko\") || !is.list(Vesko)) Vesko <- list()\n"
       << "Vesko$status <- NULL\n";
}

void RCode::append_other_vector_item(TextBuffer& items, std::string_view word, bool quoted) {
  if (!quoted && is_r_constant(word)) {
    items.append(word);
  } else {
    append_r_string(items, word);
  }
}

void RCode::open_element(std::string_view member, std::size_t base_size, std::int64_t repeat, char* name,
                         NameCounts& level) {
  const std::int64_t taken = depth_ > 0 ? meet_member(member, member.substr(0, base_size), repeat, name, level) : 0;
  const bool collides = taken != 0;
  // The element goes in place of the member of its name, by position, in
  // its parent's variable; the parent's items so far go there first.
  if (collides) {
    move_to_variables(depth_);
    write_batch(depth_);
  }
  if (depth_ >= longest_kept_chain) move_to_variables(depth_ + 1 - longest_kept_chain);
  if (open_.size() == depth_) {
    Open& added = open_.emplace_back();
    const std::string depth = std::to_string(open_.size());
    added.x = "x_" + depth;
    added.n = "n_" + depth;
  }
  // A root whose name R cannot take for a variable (empty, from a NUL
  // first, or too long) is assigned to "xml:".
  const bool unusable = depth_ == 0 && (member.empty() || member.size() > longest_r_name);
  Open& element = open_[depth_++];
  element.member.clear(large_text);
  append_r_name(element.member, unusable ? std::string_view("xml:") : member);
  element.collides = collides;
  // A child that takes no new position takes the next one: no position is skipped before it.
  element.position = collides ? taken : depth_ > 1 ? open_[depth_ - 2].length + 1 : 0;
  element.long_names.clear(large_text);
  element.long_values.clear(large_text);
  element.attributes.clear(large_text);
  element.in_variable = false;
  element.code_at = code_.size();
  code_.append("list(");
  element.names.clear(large_text);
  element.named = false;
  element.length = 0;
  element.batch_start = 1;
  element.named_length = 0;
  element.children.clear();
}

void RCode::ChildNames::clear() {
  count_ = 0;
  digit_bases_ = false;
  largest_repeat_ = 0;
  sizes_ = 0;
}

// A note may be left by an element met before at this depth: it counts
// only if it leads to an entry of this one for the same name.
RCode::Repeats* RCode::ChildNames::find(const char* name, const NameCounts& level) {
  const std::uint32_t at = level.note_of(name);
  if (at >= count_) return nullptr;
  Repeats& met = entry(at);
  return met.name == name ? &met : nullptr;
}

void RCode::ChildNames::meet(char* name, NameCounts& level, std::string_view base, std::int64_t repeat,
                             std::int64_t position) {
  if (repeat > largest_repeat_) largest_repeat_ = repeat;
  if (Repeats* found = find(name, level)) {
    found->positions.push_back(position);
    return;
  }
  if (ends_in_digit(base)) digit_bases_ = true;
  sizes_ |= std::uint64_t{1} << std::min<std::size_t>(base.size(), 63);
  if (count_ == blocks_.size() * block_size) blocks_.push_back(std::make_unique<Repeats[]>(block_size));
  level.set_note(name, static_cast<std::uint32_t>(count_));
  Repeats& entry = this->entry(count_++);
  entry.name = name;
  entry.first = repeat;
  entry.positions.clear();
  entry.positions.push_back(position);
}

std::int64_t RCode::meet_member(std::string_view member, std::string_view base, std::int64_t repeat, char* name,
                                NameCounts& level) {
  Open& parent = current();
  ChildNames& names = parent.children;
  std::int64_t taken = 0;
  // Two children share a member name only when one's name ends in digits
  // that the other has as its repeat number (b repeated once, and a b1):
  // unless this name ends in a digit, only a name met before can.
  if (ends_in_digit(member) && (names.digit_bases() || ends_in_digit(base))) {
    if (repeat != 0 && names.may_hold(member.size())) taken = position_of(names, level, member, 0);
    // A repeat number met before is no larger than the largest one.
    const std::int64_t largest = names.largest_repeat();
    const std::size_t most_digits = largest == 0 ? 0 : std::to_string(largest).size();
    // Each split of the trailing digits, down to an empty name before them.
    for (std::size_t at = member.size(); taken == 0 && at-- > 0 && member.size() - at <= most_digits;) {
      const char c = member[at];
      if (c < '0' || c > '9') break;
      if (c == '0' || (at == base.size() && repeat != 0)) continue;
      std::int64_t number = 0;
      std::from_chars(member.data() + at, member.data() + member.size(), number);
      if (number <= largest && names.may_hold(at)) taken = position_of(names, level, member.substr(0, at), number);
    }
  }
  names.meet(name, level, base, repeat, taken != 0 ? taken : parent.length + 1);
  return taken;
}

std::int64_t RCode::position_of(ChildNames& names, NameCounts& level, std::string_view base, std::int64_t repeat) {
  const char* const name = level.find(base);
  const Repeats* found = name != nullptr ? names.find(name, level) : nullptr;
  if (found == nullptr || repeat < found->first ||
      static_cast<std::uint64_t>(repeat - found->first) >= found->positions.size()) {
    return 0;
  }
  return found->positions[static_cast<std::size_t>(repeat - found->first)];
}

void RCode::add_attribute(std::string_view name, std::string_view value) {
  if (depth_ == 0) return;
  Open& element = current();
  if (name.size() > longest_r_name) {  // R takes it only as a string
    append_r_name(element.long_names, name);
    element.long_names.append(", ");
    append_value(element.long_values, value);
    element.long_values.append(", ");
    return;
  }
  if (append_plain_attribute(element.attributes, name, value)) return;
  if (needs_xml_prefix(name)) {
    append_r_name(element.attributes, std::string("xml:").append(name));
  } else {
    append_r_name(element.attributes, name);
  }
  element.attributes.append(" = ");
  append_value(element.attributes, value);
  element.attributes.append(", ");
}

// Most attributes: a name and one quoted string that need no care, written
// in one piece.
bool RCode::append_plain_attribute(TextBuffer& to, std::string_view name, std::string_view value) {
  if (value.size() < 2 || (value.front() != '"' && value.front() != '\'') || value.back() != value.front()) {
    return false;
  }
  const std::string_view text = value.substr(1, value.size() - 2);
  // A plain text holds no '"'; one between apostrophes may hold another
  // quoted string, which is joined to it.
  if (needs_xml_prefix(name) || !name_is_plain(name) || !text_is_plain(text) ||
      (value.front() == '\'' && text.find('\'') != std::string_view::npos)) {
    return false;
  }
  char* to_bytes = to.extend(name.size() + text.size() + 9);
  *to_bytes++ = '"';
  copy_bytes(to_bytes, name.data(), name.size());
  to_bytes += name.size();
  copy_bytes(to_bytes, "\" = \"", 5);
  to_bytes += 5;
  copy_bytes(to_bytes, text.data(), text.size());
  to_bytes += text.size();
  copy_bytes(to_bytes, "\", ", 3);
  return true;
}

void RCode::append_value(TextBuffer& to, std::string_view value) {
  // Most values are one quoted string, read in place.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.find(value.front(), 1) == value.size() - 1) {
    append_r_string(to, value.substr(1, value.size() - 2));
  } else {
    value_text_.clear();
    append_value_text(value_text_, value);
    append_r_string(to, value_text_);
  }
}

void RCode::set_text(std::int64_t position, std::string_view escaped) {
  if (depth_ == 0) return;
  begin_item(position);
  append_r_escaped_string(code_, escaped);
  end_item(position, {});
}

void RCode::set_vector(std::int64_t position, std::string_view items) {
  if (depth_ == 0) return;
  begin_item(position);
  if (items.empty()) {
    code_.append("\"\"");
  } else {
    code_.append("c(");
    code_.append(items);
    code_.push_back(')');
  }
  end_item(position, {});
}

// A text's position comes from the count of the element's items, which its
// list never outgrows: it is never within the list so far.
void RCode::begin_item(std::int64_t position) {
  Open& element = current();
  for (std::int64_t skipped = element.length + 1; skipped < position; ++skipped) {
    code_.append("NULL, ");
    if (element.named) element.names.append("\"\", ");
  }
}

void RCode::end_item(std::int64_t position, std::string_view name) {
  Open& element = current();
  code_.append(", ");
  // Names are kept once some item has one: those before it, from the
  // batch on, are texts.
  if (!name.empty() && !element.named) {
    for (std::int64_t text = element.batch_start; text < position; ++text) element.names.append("\"\", ");
    element.named = true;
  }
  if (element.named) {
    element.names.append(name.empty() ? std::string_view("\"\"") : name);
    element.names.append(", ");
  }
  element.length = position;
  if (code_.size() - element.code_at + element.names.size() > largest_held_code) {
    move_to_variables(depth_);
    write_batch(depth_);
  }
}

std::string_view RCode::held_items(std::size_t depth) const {
  const Open& element = open_[depth - 1];
  const std::size_t begin = element.code_at + (element.in_variable ? 0 : 5);  // after "list("
  const std::size_t end = depth < depth_ ? open_[depth].code_at : code_.size();
  return end > begin ? code_.view().substr(begin, end - begin - 2) : std::string_view();
}

void RCode::move_to_variables(std::size_t depth) {
  if (in_variables_ >= depth) return;
  const std::size_t first_moved = open_[in_variables_].code_at;
  for (; in_variables_ < depth; ++in_variables_) {
    Open& element = open_[in_variables_];
    out_ << element.x << " <- list(" << held_items(in_variables_ + 1) << "); " << element.n;
    // Names for the items so far: texts have "".
    if (element.named) {
      out_ << " <- c(" << held(element.names) << ")\n";
    } else {
      out_ << " <- character(" << static_cast<long long>(element.length) << ")\n";
    }
    element.named_length = element.length;
    element.names.clear(large_text);
    element.in_variable = true;
    element.batch_start = element.length + 1;
    variables_ = std::max(variables_, in_variables_ + 1);
  }
  // Their code is written.
  remove_code(depth, first_moved);
  for (std::size_t i = 0; i < depth; ++i) open_[i].code_at = std::min(open_[i].code_at, first_moved);
}

void RCode::remove_code(std::size_t depth, std::size_t from) {
  const std::size_t end = depth < depth_ ? open_[depth].code_at : code_.size();
  const std::size_t removed = end - from;
  std::memmove(code_.data() + from, code_.data() + end, code_.size() - end);
  code_.truncate(code_.size() - removed);
  for (std::size_t i = depth; i < depth_; ++i) open_[i].code_at -= removed;
  if (code_.empty()) code_.clear(large_text);  // a huge text does not keep its room
}

void RCode::write_batch(std::size_t depth) {
  Open& element = open_[depth - 1];
  if (element.batch_start > element.length) return;
  const auto range = static_cast<long long>(element.batch_start);
  const auto end = static_cast<long long>(element.length);
  const bool one = range == end;
  const auto put_range = [&] {
    if (one) {
      out_ << '[' << end << ']';
    } else {
      out_ << '[' << range << ':' << end << ']';
    }
  };
  const std::string_view items = held_items(depth);
  if (one) {
    out_ << element.x << "[[" << end << "]] <- " << items;
  } else {
    out_ << element.x << '[' << range << ':' << end << "] <- list(" << items << ')';
  }
  // Member names go with the batch once the element has any; those of the
  // positions before, all texts, are filled in first.
  if (element.named) {
    const std::string_view names = held(element.names);
    out_ << "; ";
    if (element.named_length < element.batch_start - 1) {
      out_ << element.n << '[' << static_cast<long long>(element.named_length + 1) << ':' << range - 1
           << "] <- \"\"; ";
    }
    out_ << element.n;
    put_range();
    out_ << " <- " << (one ? "" : "c(") << names << (one ? "" : ")");
    element.named_length = element.length;
  }
  out_ << '\n';
  remove_code(depth, element.code_at);
  element.names.clear(large_text);
  element.batch_start = element.length + 1;
}

void RCode::complete_list() {
  Open& element = current();
  if (element.in_variable) {
    code_.append(element.x);
  } else {
    if (element.length > 0) code_.truncate(code_.size() - 2);  // the last ", "
    code_.push_back(')');
  }
}

template <typename Emit>
void RCode::end_value(Emit&& emit) {
  const Open& element = current();
  const bool long_names = !element.long_names.empty();
  if (element.attributes.empty() && !element.named && !long_names) return;
  emit(" |> `attributes<-`(list(");
  emit(element.named || long_names ? element.attributes.view() : held(element.attributes));
  if (element.named) {
    emit("names = ");
    if (element.in_variable) {
      emit(element.n);
    } else {
      emit("c(");
      emit(held(element.names));
      emit(")");
    }
    if (long_names) emit(", ");
  }
  // R holds no attribute of a name that long: they go together into one,
  // a list named by them.
  if (long_names) {
    emit("\"xml:long\" = `names<-`(list(");
    emit(held(element.long_values));
    emit("), c(");
    emit(held(element.long_names));
    emit("))");
  }
  emit("))");
}

void RCode::store_large() {
  const std::size_t parent = depth_ - 1;
  move_to_variables(parent);
  write_batch(parent);
  Open& above = open_[parent - 1];
  const Open& element = current();
  const auto position = static_cast<long long>(element.position);
  if (above.named_length < position - 1) {  // texts before it
    out_ << above.n << '[' << static_cast<long long>(above.named_length + 1) << ':' << position - 1 << "] <- \"\"\n";
  }
  out_ << above.x << "[[" << position << "]] <- " << code_.view().substr(element.code_at);
  end_value([this](std::string_view piece) { out_ << piece; });
  out_ << "; " << above.n << '[' << position << "] <- " << element.member.view() << '\n';
  above.length = above.named_length = position;
  above.named = true;
  above.batch_start = position + 1;
}

void RCode::close_element() {
  if (depth_ == 0) return;
  Open& element = current();
  const std::size_t depth = depth_;
  // Its batch brings n_<depth> to the length of its list, when it has names.
  if (element.in_variable) write_batch(depth);
  complete_list();
  const auto to_output = [this](std::string_view piece) { out_ << piece; };
  const std::string_view value = code_.view().substr(element.code_at);
  const bool in_variable = element.in_variable;
  if (depth == 1) {
    out_ << "assign(" << element.member.view() << ", " << value;
    end_value(to_output);
    out_ << ")\n";
  } else if (element.collides) {  // in place of the member of its name; its parent is in its variable
    out_ << x_of(depth - 1) << "[[" << static_cast<long long>(element.position) << "]] <- " << value;
    end_value(to_output);
    out_ << '\n';
  } else if (element.attributes.size() + element.long_values.size() > largest_held_code) {
    store_large();  // written out at once rather than copied among its parent's items
  } else {
    // Its value stands among its parent's items already.
    end_value([this](std::string_view piece) { code_.append(piece); });
    --depth_;
    in_variables_ = std::min(in_variables_, depth_);
    end_item(element.position, element.member.view());
    // The value names x_<depth>, which the next element of this depth takes.
    if (in_variable) write_batch(depth_);
    return;
  }
  code_.truncate(element.code_at);
  if (code_.empty()) code_.clear(large_text);
  --depth_;
  in_variables_ = std::min(in_variables_, depth_);
}

void RCode::close_all() {
  while (depth_ > 0) close_element();
}

void RCode::write_status(std::string_view status_text) {
  close_all();
  // As the S statements do: a member `status` of a root named Vesko goes,
  // and the status comes last.
  line_.clear(large_text);
  append_r_string(line_, status_text);
  out_ << "Vesko$status <- NULL\nVesko$status <- " << line_.view() << '\n';
}

void RCode::finish() {
  close_all();
  if (variables_ == 0) return;
  const auto depth = static_cast<long long>(variables_);
  out_ << "rm(list = c(paste0(\"x_\", seq_len(" << depth << ")), paste0(\"n_\", seq_len(" << depth << "))))\n";
  variables_ = 0;
}

}  // namespace xml2slist
