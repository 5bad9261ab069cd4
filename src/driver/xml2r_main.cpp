#include <unistd.h>

#include "driver/program.h"

// xml2r: the same conversion, writing R code that builds the tree. It has
// no trace: trace lines would not be R.
int main(int argc, char** argv) {
  xml2slist::FdSink out(STDOUT_FILENO);
  xml2slist::FdSink err(STDERR_FILENO);
  return xml2slist::run_program(argc, argv, nullptr, out, err, xml2slist::Target::r_code);
}
