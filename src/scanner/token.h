#pragma once

namespace xml2slist {

// Token numbers shared by the scanner and the parser.
enum Token : int {
  end_of_input = 0,
  open_angle = '<',   // 60
  equals_sign = '=',  // 61
  close_angle = '>',  // 62
  error_token = 256,  // never produced; only error recovery knows it
  PROTO1S = 257,      // <?
  PROTO1E = 258,      // ?>
  PROTO2S = 259,      // <!
  ETAGS = 260,        // </
  ETAGE = 261,        // />
  WORD = 262,
  STRING = 263,
};

inline constexpr int highest_token = STRING;

}  // namespace xml2slist
