#pragma once

#include <string_view>

#include "translate/text_buffer.h"

namespace xml2slist {

// Whether `word` reads in R as one constant, without a warning: a decimal
// or hexadecimal number (with an exponent, an `L` or an `i` where R allows
// one), or NA, TRUE, FALSE, Inf or NaN, each with an optional sign.
bool is_r_constant(std::string_view word);

// Appends `text` as an R string literal in double quotes that reads back
// exactly its bytes: backslashes, quotes and control characters escaped,
// bytes that are not UTF-8 written as \x escapes (R refuses to parse them
// raw). A NUL byte, which no R string can hold, is left out.
void append_r_string(TextBuffer& out, std::string_view text);

// Appends between double quotes a text already escaped for an S string
// literal (its backslashes start escapes of ASCII characters only); control
// characters and bytes that are not UTF-8 become escapes, as in
// append_r_string().
void append_r_escaped_string(TextBuffer& out, std::string_view escaped);

// Appends the member or attribute name `name` (with '?' for each of
// ":_-.") as R code names it: '?' becomes '.'.
void append_r_name(TextBuffer& out, std::string_view name);

// Whether append_r_string() and append_r_name() write `text` and `name`
// as they stand between the quotes, so that a caller may copy them itself.
bool text_is_plain(std::string_view text);
bool name_is_plain(std::string_view name);

}  // namespace xml2slist
