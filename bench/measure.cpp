// Runs a command and reports its wall time and peak resident memory.
//
//   xml2slist_measure [-n RUNS] [-o OUTPUT] -- COMMAND [ARGS...]
//
// The command's standard output goes to OUTPUT (default /dev/null); its
// standard error is kept. The command runs RUNS times (default 1), one after
// the other. Prints one line: the mean wall time of one run in seconds, the
// largest peak RSS of any run in KiB, and the exit status of the last run.
// Exits 1 when a run could not be started or was ended by a signal.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

int usage(const char* program) {
  std::fprintf(stderr, "usage: %s [-n RUNS] [-o OUTPUT] -- COMMAND [ARGS...]\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 1;
  const char* output = "/dev/null";
  int first = 1;
  for (; first < argc; ++first) {
    if (std::strcmp(argv[first], "--") == 0) {
      ++first;
      break;
    }
    if (std::strcmp(argv[first], "-n") == 0 && first + 1 < argc) {
      runs = std::strtol(argv[++first], nullptr, 10);
    } else if (std::strcmp(argv[first], "-o") == 0 && first + 1 < argc) {
      output = argv[++first];
    } else {
      return usage(argv[0]);
    }
  }
  if (first >= argc || runs < 1) return usage(argv[0]);

  long peak_kib = 0;
  int status = 0;
  const double start = now();
  for (long run = 0; run < runs; ++run) {
    const pid_t child = fork();
    if (child < 0) {
      std::perror("fork");
      return 1;
    }
    if (child == 0) {
      const int fd = open(output, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) _exit(126);
      execvp(argv[first], argv + first);
      std::fprintf(stderr, "%s: %s\n", argv[first], std::strerror(errno));
      _exit(127);
    }
    int wait_status = 0;
    rusage usage{};
    while (wait4(child, &wait_status, 0, &usage) < 0) {
      if (errno != EINTR) {
        std::perror("wait4");
        return 1;
      }
    }
    if (!WIFEXITED(wait_status)) {
      std::fprintf(stderr, "%s ended by signal %d\n", argv[first], WTERMSIG(wait_status));
      return 1;
    }
    status = WEXITSTATUS(wait_status);
    if (status == 126 || status == 127) return 1;
    if (usage.ru_maxrss > peak_kib) peak_kib = usage.ru_maxrss;
  }
  const double elapsed = now() - start;
  std::printf("%.6f %ld %d\n", elapsed / static_cast<double>(runs), peak_kib, status);
  return 0;
}
