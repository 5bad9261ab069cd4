// Runs the real binary on every end-to-end case under a folder and compares
// its standard output, standard error and exit status with the expected ones.
//
// A case is a folder that holds `expected_status`, `expected_stdout` and
// `expected_stderr`, and optionally:
//   input.xml    the document;
//   args         the arguments, one per line ({input} is the path of
//                input.xml, {case} the case folder); without this file the
//                only argument is {input};
//   stdin        bytes fed to standard input (else it is /dev/null);
//   stdout_path  a file to open as standard output instead of a capture
//                (expected_stdout is then not compared);
//   env          KEY=VALUE lines; the program sees only these (and the
//                sanitizer settings of the runner).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "case_files.h"

namespace fs = std::filesystem;

namespace {

std::string program_path;

using case_files::read_file;
using case_files::read_lines;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

int temporary_file(std::string& path) {
  char name[] = "/tmp/xml2slist-golden-XXXXXX";
  const int fd = mkstemp(name);
  path = name;
  return fd;
}

Outcome run_case(const fs::path& dir) {
  // The program is called by its file's name, which its messages show.
  std::vector<std::string> args{fs::path(program_path).filename().string()};
  for (std::string& arg : case_files::arguments(dir)) args.push_back(std::move(arg));
  std::vector<std::string> env;
  if (fs::exists(dir / "env")) env = read_lines(dir / "env");
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  }

  std::string out_path, err_path, in_path;
  const int out_fd = temporary_file(out_path);
  const int err_fd = temporary_file(err_path);
  int in_fd;
  if (fs::exists(dir / "stdin")) {
    in_fd = ::open((dir / "stdin").c_str(), O_RDONLY);
  } else {
    in_fd = ::open("/dev/null", O_RDONLY);
  }
  int redirected_out = -1;
  if (fs::exists(dir / "stdout_path")) {
    std::string target = read_lines(dir / "stdout_path").at(0);
    redirected_out = ::open(target.c_str(), O_WRONLY);
  }

  const pid_t child = fork();
  if (child == 0) {
    dup2(in_fd, 0);
    dup2(redirected_out >= 0 ? redirected_out : out_fd, 1);
    dup2(err_fd, 2);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    execve(program_path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  for (const int fd : {out_fd, err_fd, in_fd, redirected_out}) {
    if (fd >= 0) ::close(fd);
  }
  Outcome outcome;
  outcome.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  outcome.out = read_file(out_path);
  outcome.err = read_file(err_path);
  fs::remove(out_path);
  fs::remove(err_path);
  return outcome;
}

class GoldenCase : public testing::Test {
 public:
  explicit GoldenCase(fs::path dir) : dir_(std::move(dir)) {}
  void TestBody() override {
    const Outcome outcome = run_case(dir_);
    const std::string expected_status = read_file(dir_ / "expected_status");
    EXPECT_EQ(std::atoi(expected_status.c_str()), outcome.status) << "exit status";
    if (!fs::exists(dir_ / "stdout_path")) {
      EXPECT_EQ(read_file(dir_ / "expected_stdout"), outcome.out) << "standard output";
    }
    EXPECT_EQ(read_file(dir_ / "expected_stderr"), outcome.err) << "standard error";
  }

 private:
  fs::path dir_;
};

std::string test_name(const fs::path& root, const fs::path& dir) {
  std::string name = fs::relative(dir, root).string();
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PROGRAM CASES-FOLDER\n", argv[0]);
    return 2;
  }
  program_path = fs::absolute(argv[1]).string();
  const fs::path root = fs::absolute(argv[2]);
  std::vector<fs::path> cases;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_directory() && fs::exists(entry.path() / "expected_status")) cases.push_back(entry.path());
  }
  std::sort(cases.begin(), cases.end());
  for (const fs::path& dir : cases) {
    testing::RegisterTest("Golden", test_name(root, dir).c_str(), nullptr, nullptr, __FILE__, __LINE__,
                          [dir]() -> testing::Test* { return new GoldenCase(dir); });
  }
  if (cases.empty()) {
    std::fprintf(stderr, "no golden cases under %s\n", root.c_str());
    return 1;
  }
  return RUN_ALL_TESTS();
}
