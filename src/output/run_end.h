#pragma once

namespace xml2slist {

// Ends a conversion early with an exit status (a repeated Id value). Only
// the program's entry turns it into the end of the process.
struct RunEnd {
  int status;
};

}  // namespace xml2slist
