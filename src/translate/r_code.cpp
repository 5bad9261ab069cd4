#include "translate/r_code.h"

#include <algorithm>
#include <bit>
#include <charconv>

#include "translate/r_literals.h"

namespace xml2slist {

namespace {
bool ends_in_digit(std::string_view text) { return !text.empty() && text.back() >= '0' && text.back() <= '9'; }

void append_number(TextBuffer& out, std::int64_t number) {
  constexpr std::size_t most_digits = 20;
  const std::size_t at = out.size();
  char* const digits = out.extend(most_digits);
  const auto written = std::to_chars(digits, digits + most_digits, number);
  out.truncate(at + static_cast<std::size_t>(written.ptr - digits));
}

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

// The items or names held, without their last ", ".
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

void RCode::write_line() {
  out_ << line_.view();
  line_.clear(large_text);
}

void RCode::open_element(std::string_view member, std::size_t base_size, std::int64_t repeat) {
  const bool collides = depth_ > 0 && meet_member(member, member.substr(0, base_size), repeat);
  // The member of a taken name is found by its name in n_<depth>; and no
  // more than longest_kept_chain elements are kept one inside another.
  if (collides) move_to_variables(depth_);
  if (depth_ >= longest_kept_chain) move_to_variables(depth_ + 1 - longest_kept_chain);
  if (open_.size() == depth_) {
    Open& added = open_.emplace_back();
    const std::string depth = std::to_string(open_.size());
    added.x = "x_" + depth;
    added.n = "n_" + depth;
  }
  Open& element = open_[depth_++];
  element.member_name.assign(member);
  element.collides = collides;
  element.attributes.clear(large_text);
  element.in_variable = false;
  element.items.clear(large_text);
  element.names.clear(large_text);
  element.named = false;
  element.length = 0;
  element.batch_start = 1;
  element.named_length = 0;
  element.children.clear();
}

void RCode::ChildNames::clear() {
  entries_.clear();
  text_.clear(large_text);
  last_ = 0;
  slots_.clear();
  indexed_ = 0;
  digit_bases_ = false;
  largest_repeat_ = 0;
}

// The names come from the document: they are placed by the keyed hash,
// which no document can be written to pile up in one place.
std::uint64_t* RCode::ChildNames::slot_of(std::string_view base, std::uint64_t hash) {
  const std::size_t mask = slots_.size() - 1;
  const std::uint64_t tag = hash & ~std::uint64_t{0xFFFFFFFF};
  for (std::size_t at = static_cast<std::size_t>(hash) & mask;; at = (at + 1) & mask) {
    std::uint64_t& slot = slots_[at];
    if (slot == 0) return &slot;
    if ((slot & ~std::uint64_t{0xFFFFFFFF}) == tag && name_of(entries_[(slot & 0xFFFFFFFF) - 1]) == base) return &slot;
  }
}

void RCode::ChildNames::index_all() {
  const std::size_t hashed = slots_.empty() ? 0 : indexed_;
  slots_.assign(std::max<std::size_t>(64, std::bit_ceil(entries_.size() * 2)), 0);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    Repeats& entry = entries_[i];
    if (i >= hashed) entry.hash = keyed_hash(process_hash_key(), name_of(entry));
    *slot_of(name_of(entry), entry.hash) = (entry.hash & ~std::uint64_t{0xFFFFFFFF}) | (i + 1);
  }
  indexed_ = entries_.size();
}

RCode::Repeats* RCode::ChildNames::find(std::string_view base) {
  if (entries_.empty()) return nullptr;
  if (name_of(entries_[last_]) == base) return &entries_[last_];
  if (entries_.size() > searched_in_a_row) {
    if (slots_.empty()) index_all();
    const std::uint64_t slot = *slot_of(base, keyed_hash(process_hash_key(), base));
    if (slot == 0) return nullptr;
    last_ = (slot & 0xFFFFFFFF) - 1;
    return &entries_[last_];
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (name_of(entries_[i]) == base) {
      last_ = i;
      return &entries_[i];
    }
  }
  return nullptr;
}

void RCode::ChildNames::meet(std::string_view base, std::int64_t repeat) {
  // A name met with repeat number 0 is met for the first time at its
  // level, so it is new here: it needs no search.
  if (repeat != 0) {
    if (repeat > largest_repeat_) largest_repeat_ = repeat;
    if (Repeats* found = find(base)) {
      found->last = repeat;
      return;
    }
  }
  if (ends_in_digit(base)) digit_bases_ = true;
  entries_.push_back(Repeats{text_.size(), base.size(), repeat, repeat, 0});
  text_.append(base);
  last_ = entries_.size() - 1;
  // The index is built when a search first needs it, and kept from then on.
  if (slots_.empty()) return;
  if (entries_.size() * 2 > slots_.size()) return index_all();
  Repeats& entry = entries_.back();
  entry.hash = keyed_hash(process_hash_key(), base);
  *slot_of(base, entry.hash) = (entry.hash & ~std::uint64_t{0xFFFFFFFF}) | entries_.size();
  indexed_ = entries_.size();
}

bool RCode::meet_member(std::string_view member, std::string_view base, std::int64_t repeat) {
  ChildNames& names = current().children;
  bool collides = false;
  // Two children share a member name only when one's name ends in digits
  // that the other has as its repeat number (b repeated once, and a b1):
  // unless this name ends in a digit, only a name met before can.
  if (ends_in_digit(member) && (names.digit_bases() || ends_in_digit(base))) {
    if (repeat != 0) collides = met_before(names, member, 0);
    // A repeat number met before is no larger than the largest one.
    const std::int64_t largest = names.largest_repeat();
    const std::size_t most_digits = largest == 0 ? 0 : std::to_string(largest).size();
    for (std::size_t at = member.size() - 1; !collides && at > 0 && member.size() - at <= most_digits; --at) {
      const char c = member[at];
      if (c < '0' || c > '9') break;
      if (c == '0' || (at == base.size() && repeat != 0)) continue;
      std::int64_t number = 0;
      std::from_chars(member.data() + at, member.data() + member.size(), number);
      if (number <= largest) collides = met_before(names, member.substr(0, at), number);
    }
  }
  names.meet(base, repeat);
  return collides;
}

bool RCode::met_before(ChildNames& names, std::string_view base, std::int64_t repeat) {
  const Repeats* found = names.find(base);
  return found != nullptr && found->first <= repeat && repeat <= found->last;
}

void RCode::add_attribute(std::string_view name, std::string_view value) {
  if (depth_ == 0) return;
  Open& element = current();
  if (needs_xml_prefix(name)) {
    append_r_name(element.attributes, std::string("xml:").append(name));
  } else {
    append_r_name(element.attributes, name);
  }
  element.attributes.append(" = ");
  // Most values are one quoted string, read in place.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.find(value.front(), 1) == value.size() - 1) {
    append_r_string(element.attributes, value.substr(1, value.size() - 2));
  } else {
    value_text_.clear();
    append_value_text(value_text_, value);
    append_r_string(element.attributes, value_text_);
  }
  element.attributes.append(", ");
}

void RCode::set_text(std::int64_t position, std::string_view escaped) {
  if (depth_ == 0) return;
  append_r_escaped_string(begin_item(depth_, position), escaped);
  end_item(depth_, position, {});
}

void RCode::set_vector(std::int64_t position, std::string_view items) {
  if (depth_ == 0) return;
  TextBuffer& to = begin_item(depth_, position);
  if (items.empty()) {
    to.append("\"\"");
  } else {
    to.append("c(");
    to.append(items);
    to.push_back(')');
  }
  end_item(depth_, position, {});
}

TextBuffer& RCode::begin_item(std::size_t depth, std::int64_t position) {
  Open& element = open_[depth - 1];
  if (position <= element.length) {
    move_to_variables(depth);
    write_batch(depth);
    line_.append(element.x);
    line_.append("[[");
    append_number(line_, position);
    line_.append("]] <- ");
    return line_;
  }
  for (std::int64_t skipped = element.length + 1; skipped < position; ++skipped) {
    element.items.append("NULL, ");
    element.names.append("\"\", ");
  }
  return element.items;
}

void RCode::end_item(std::size_t depth, std::int64_t position, std::string_view name) {
  Open& element = open_[depth - 1];
  if (position <= element.length) {  // replaced in place; its name stays
    line_.push_back('\n');
    write_line();
    return;
  }
  element.items.append(", ");
  if (name.empty()) {
    element.names.append("\"\", ");
  } else {
    element.names.append(name);
    element.names.append(", ");
    element.named = true;
  }
  element.length = position;
  if (element.items.size() + element.names.size() > largest_held_code) {
    move_to_variables(depth);
    write_batch(depth);
  }
}

void RCode::move_to_variables(std::size_t depth) {
  for (; in_variables_ < depth; ++in_variables_) {
    Open& element = open_[in_variables_];
    out_ << element.x << " <- list(" << held(element.items) << "); " << element.n;
    // Names for the items so far: texts have "".
    if (element.named) {
      out_ << " <- c(" << held(element.names) << ")\n";
    } else {
      out_ << " <- character(" << static_cast<long long>(element.length) << ")\n";
    }
    element.named_length = element.length;
    element.items.clear(large_text);
    element.names.clear(large_text);
    element.in_variable = true;
    element.batch_start = element.length + 1;
    variables_ = std::max(variables_, in_variables_ + 1);
  }
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
  if (one) {
    out_ << element.x << "[[" << end << "]] <- " << held(element.items);
  } else {
    out_ << element.x << '[' << range << ':' << end << "] <- list(" << held(element.items) << ')';
  }
  // Member names go with the batch once the element has any; those of the
  // positions before, all texts, are filled in first.
  if (element.named) {
    out_ << "; ";
    if (element.named_length < element.batch_start - 1) {
      out_ << element.n << '[' << static_cast<long long>(element.named_length + 1) << ':' << range - 1
           << "] <- \"\"; ";
    }
    out_ << element.n;
    put_range();
    out_ << " <- " << (one ? "" : "c(") << held(element.names) << (one ? "" : ")");
    element.named_length = element.length;
  }
  out_ << '\n';
  element.items.clear(large_text);
  element.names.clear(large_text);
  element.batch_start = element.length + 1;
}

template <typename Emit>
void RCode::build_value(Emit&& emit) {
  Open& element = current();
  const bool with_attributes = !element.attributes.empty() || element.named;
  if (with_attributes) emit("`attributes<-`(");
  if (element.in_variable) {
    emit(element.x);
  } else {
    emit("list(");
    emit(held(element.items));
    emit(")");
  }
  if (!with_attributes) return;
  emit(", list(");
  if (!element.named) {
    emit(held(element.attributes));
  } else {
    emit(element.attributes.view());
    emit("names = ");
    if (element.in_variable) {
      emit(element.n);
    } else {
      emit("c(");
      emit(held(element.names));
      emit(")");
    }
  }
  emit("))");
}

void RCode::store_large(std::size_t depth) {
  move_to_variables(depth - 1);
  write_batch(depth - 1);
  Open& parent = open_[depth - 2];
  const auto position = static_cast<long long>(parent.length + 1);
  if (parent.named_length < position - 1) {  // texts before it
    out_ << parent.n << '[' << static_cast<long long>(parent.named_length + 1) << ':' << position - 1
         << "] <- \"\"\n";
  }
  out_ << parent.x << "[[" << position << "]] <- ";
  build_value([this](std::string_view piece) { out_ << piece; });
  out_ << "; " << parent.n << '[' << position << "] <- " << member_.view() << '\n';
  parent.length = parent.named_length = position;
  parent.named = true;
  parent.batch_start = position + 1;
}

void RCode::close_element(std::string_view member) {
  if (depth_ == 0) return;
  Open& element = current();
  const std::size_t depth = depth_;
  if (element.in_variable) {
    write_batch(depth);
    if (element.named && element.named_length < element.length) {  // texts after the last name
      line_.append(element.n);
      line_.push_back('[');
      append_number(line_, element.named_length + 1);
      line_.push_back(':');
      append_number(line_, element.length);
      line_.append("] <- \"\"\n");
      write_line();
    }
  }
  member_.clear(large_text);
  // A root named by an empty name (a NUL first) still needs a variable.
  append_r_name(member_, depth == 1 && member.empty() ? std::string_view("xml:") : member);
  const auto to_output = [this](std::string_view piece) { out_ << piece; };
  if (depth == 1) {
    out_ << "assign(" << member_.view() << ", ";
    build_value(to_output);
    out_ << ")\n";
  } else if (element.collides) {  // its parent is in its variable
    write_batch(depth - 1);
    out_ << x_of(depth - 1) << "[[match(" << member_.view() << ", " << n_of(depth - 1) << ")]] <- ";
    build_value(to_output);
    out_ << '\n';
  } else if (element.items.size() + element.attributes.size() > largest_held_code) {
    store_large(depth);  // written out at once rather than copied into its parent's held code
  } else {
    const std::int64_t position = open_[depth - 2].length + 1;
    TextBuffer& to = begin_item(depth - 1, position);
    build_value([&to](std::string_view piece) { to.append(piece); });
    end_item(depth - 1, position, member_.view());
    // The value names x_<depth>, which the next element of this depth takes.
    if (element.in_variable) write_batch(depth - 1);
  }
  --depth_;
  in_variables_ = std::min(in_variables_, depth_);
}

void RCode::close_all() {
  while (depth_ > 0) {
    const std::string member = open_[depth_ - 1].member_name;
    close_element(member);
  }
}

void RCode::write_status(std::string_view status_text) {
  close_all();
  line_.clear(large_text);
  line_.append("Vesko$status <- ");
  append_r_string(line_, status_text);
  line_.push_back('\n');
  write_line();
}

void RCode::finish() {
  close_all();
  if (variables_ == 0) return;
  line_.clear(large_text);
  line_.append("rm(list = c(paste0(\"x_\", seq_len(");
  append_number(line_, static_cast<std::int64_t>(variables_));
  line_.append(")), paste0(\"n_\", seq_len(");
  append_number(line_, static_cast<std::int64_t>(variables_));
  line_.append("))))\n");
  write_line();
  variables_ = 0;
}

}  // namespace xml2slist
