#pragma once

#include "driver/conversion.h"
#include "output/output_stream.h"

namespace xml2slist {

// Opens every argument in turn and converts the last, or standard input; never ends the process.
int run_program(int argc, const char* const* argv, const char* yydebug, ByteSink& out, ByteSink& err,
                Target target = Target::s_statements);

}  // namespace xml2slist
