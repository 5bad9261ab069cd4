#include "driver/program.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "driver/conversion.h"
#include "scanner/byte_source.h"

namespace xml2slist {

namespace {
// The files opened for the run; the process would close them at its end.
// Its memory is asked for without exceptions, so that running out before
// the conversion starts is told even when nothing can be thrown.
class OpenFiles {
 public:
  OpenFiles() = default;
  OpenFiles(const OpenFiles&) = delete;
  OpenFiles& operator=(const OpenFiles&) = delete;
  ~OpenFiles() {
    for (std::size_t i = 0; i < count_; ++i) ::close(fds_[i]);
    std::free(fds_);
  }
  enum class Opened { yes, no, out_of_memory };
  Opened open(const char* path) {
    if (count_ == room_) {  // room first, so that no opened file is left unrecorded
      const std::size_t room = room_ == 0 ? 4 : room_ * 2;
      void* grown = std::realloc(fds_, room * sizeof(int));
      if (!grown) return Opened::out_of_memory;
      fds_ = static_cast<int*>(grown);
      room_ = room;
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Opened::no;
    fds_[count_++] = fd;
    return Opened::yes;
  }
  int last() const { return count_ == 0 ? STDIN_FILENO : fds_[count_ - 1]; }

 private:
  int* fds_ = nullptr;
  std::size_t count_ = 0;
  std::size_t room_ = 0;
};

// The conversion's own report of exhausted memory, written straight to the
// sink: the streams may have no buffer, and nothing here allocates.
int report_out_of_memory(ByteSink& err_sink, std::string_view program_name) {
  constexpr std::string_view message = ": out of memory\n";
  if (err_sink.write(program_name.data(), program_name.size())) err_sink.write(message.data(), message.size());
  return 2;
}
}  // namespace

int run_program(int argc, const char* const* argv, const char* yydebug, ByteSink& out_sink, ByteSink& err_sink,
                Target target) {
  const std::string_view program_name = argc > 0 && argv[0] ? argv[0] : "";
  OutputStream out(out_sink);
  OutputStream err(err_sink, false);
  if (!out.has_buffer() || !err.has_buffer()) return report_out_of_memory(err_sink, program_name);
  OpenFiles files;
  for (int i = 1; i < argc; ++i) {
    const OpenFiles::Opened opened = files.open(argv[i]);
    if (opened == OpenFiles::Opened::out_of_memory) return report_out_of_memory(err_sink, program_name);
    if (opened == OpenFiles::Opened::no) {
      err << program_name << ": Can't open " << argv[i] << " \n";
      err.flush();
      return 1;
    }
  }
  FdSource input(files.last());
  return Conversion(input, out, err, program_name, platform_memory(), target).run(yydebug);
}

}  // namespace xml2slist
