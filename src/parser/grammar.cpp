#include "parser/grammar.h"

#include "scanner/token.h"

namespace xml2slist {

std::string_view token_name(int token) {
  switch (token) {
    case end_of_input: return "end-of-file";
    case open_angle: return "'<'";
    case equals_sign: return "'='";
    case close_angle: return "'>'";
    case PROTO1S: return "PROTO1S";
    case PROTO1E: return "PROTO1E";
    case PROTO2S: return "PROTO2S";
    case ETAGS: return "ETAGS";
    case ETAGE: return "ETAGE";
    case WORD: return "WORD";
    case STRING: return "STRING";
    default: return {};
  }
}

std::string_view token_display_name(int token) {
  const std::string_view name = token >= 0 && token <= highest_token ? token_name(token) : std::string_view{};
  return name.empty() ? "illegal-symbol" : name;
}

// ORDER RULES: the three tables below are indexed by the same rule numbers.
const std::array<std::string_view, rule_count> rule_strings = {
    "$accept : vk_file",
    "vk_file : protocols element",
    "vk_file : element",
    "protocols : protocol",
    "protocols : protocols protocol",
    "protocol : PROTO1S WORD defs PROTO1E",
    "$$1 :",
    "protocol : PROTO2S $$1 defs2 '>'",
    "defs : def",
    "defs : defs def",
    "def : WORD '=' STRING",
    "defs2 : def2",
    "defs2 : defs2 def2",
    "def2 : WORD",
    "def2 : STRING",
    "def2 : protocol",
    "element : stag body etag",
    "element : tag",
    "body : empty",
    "body : word",
    "body : element",
    "$$2 :",
    "body : body $$2 word",
    "$$3 :",
    "body : body $$3 element",
    "word : WORD",
    "word : '='",
    "word : STRING",
    "stag : '<' WORD '>'",
    "stag : '<' WORD attrlists '>'",
    "etag : ETAGS WORD '>'",
    "tag : '<' WORD ETAGE",
    "tag : '<' WORD attrlists ETAGE",
    "attrlists : attrlist",
    "attrlists : attrlists attrlist",
    "attrlist : WORD '=' string",
    "string : STRING",
    "string : empty",
    "empty :",
};

const std::array<std::int16_t, rule_count> rule_lhs = {
    -1, 0, 0, 1, 1, 3, 6, 3, 4, 4, 7, 5, 5, 8, 8, 8, 2, 2, 10, 10,
    10, 15, 10, 16, 10, 14, 14, 14, 9, 9, 11, 12, 12, 17, 17, 18, 19, 19, 13,
};

const std::array<std::int16_t, rule_count> rule_length = {
    2, 2, 1, 1, 2, 4, 0, 4, 1, 2, 3, 1, 2, 1, 1, 1, 3, 1, 1, 1,
    1, 0, 3, 0, 3, 1, 1, 1, 3, 4, 3, 3, 4, 1, 2, 3, 1, 1, 0,
};

}  // namespace xml2slist
