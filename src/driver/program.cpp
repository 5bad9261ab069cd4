#include "driver/program.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "driver/conversion.h"
#include "scanner/byte_source.h"

namespace xml2slist {

namespace {
// The files opened for the run; the process would close them at its end.
class OpenFiles {
 public:
  OpenFiles() = default;
  OpenFiles(const OpenFiles&) = delete;
  OpenFiles& operator=(const OpenFiles&) = delete;
  ~OpenFiles() {
    for (const int fd : fds_) ::close(fd);
  }
  bool open(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    fds_.push_back(fd);
    return true;
  }
  int last() const { return fds_.empty() ? STDIN_FILENO : fds_.back(); }

 private:
  std::vector<int> fds_;
};
}  // namespace

int run_program(int argc, const char* const* argv, const char* yydebug, ByteSink& out_sink, ByteSink& err_sink) {
  const std::string program_name = argc > 0 && argv[0] ? argv[0] : "";
  OutputStream out(out_sink);
  OutputStream err(err_sink, false);
  OpenFiles files;
  for (int i = 1; i < argc; ++i) {
    if (!files.open(argv[i])) {
      err << program_name << ": Can't open " << argv[i] << " \n";
      err.flush();
      return 1;
    }
  }
  FdSource input(files.last());
  return Conversion(input, out, err, program_name).run(yydebug);
}

}  // namespace xml2slist
