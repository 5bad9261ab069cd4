#pragma once

#include "driver/conversion.h"
#include "output/output_stream.h"

namespace xml2slist {

// The program from its command line to its exit status: every argument is
// opened in turn, the last one (or standard input when there is none) is
// converted. Writes through `out` and `err`; never ends the process.
int run_program(int argc, const char* const* argv, const char* yydebug, ByteSink& out, ByteSink& err,
                Target target = Target::s_statements);

}  // namespace xml2slist
