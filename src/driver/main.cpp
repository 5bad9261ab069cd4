#include <cstdlib>
#include <unistd.h>

#include "driver/program.h"

int main(int argc, char** argv) {
  xml2slist::FdSink out(STDOUT_FILENO);
  xml2slist::FdSink err(STDERR_FILENO);
  const int status = xml2slist::run_program(argc, argv, std::getenv("YYDEBUG"), out, err);
  return status;
}
