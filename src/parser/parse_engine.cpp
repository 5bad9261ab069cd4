#include "parser/parse_engine.h"

namespace xml2slist {

template class BasicParseEngine<TokenSource, ParseActions>;

}  // namespace xml2slist
