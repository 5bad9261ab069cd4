// Resource bounds and failure paths of the real binary. Each subcommand is
// one ctest test; it prints what it measured and exits non-zero on a fault.
//
//   records  BIN MEGABYTES MAX_RSS_KB   a stream of ordinary records converts
//                                       within a fixed peak RSS
//   word     BIN MEGABYTES MAX_RATIO    one huge word converts; peak RSS per
//                                       byte of the word stays below the ratio
//   tokens   BIN MEGABYTES MAX_RATIO DECLARATIONS
//                                       one huge token of each kind (element
//                                       name, word, quoted string, attribute
//                                       name and value, Id value), and many
//                                       entity declarations: the peak RSS
//                                       above a run on a tiny token stays
//                                       within MAX_RATIO times their bytes
//   nesting  BIN LEVELS [STACK_KIB]     deep nesting ends in a stack overflow
//                                       report, status 1 (within a stack of
//                                       STACK_KIB KiB, when given)
//   stack    BIN STACK_KIB PATH...      every case folder (expected_status,
//                                       expected_stdout, expected_stderr, and
//                                       input.xml, args, stdin, env as the
//                                       golden runner reads them) converts as
//                                       expected within a stack of STACK_KIB
//                                       KiB, and traced as with a full stack
//   failures BIN DOCUMENT               unreadable input, full or closed
//                                       standard output, closed standard input
//   cuts     BIN SHARD SHARDS STRIDE PATH...
//                                       every prefix of every document (files,
//                                       or folders searched for input.xml);
//                                       STRIDE > 1 keeps every STRIDE-th cut
//
// Input is generated on the fly and streamed through a pipe, so nothing big
// is written to disk; peak RSS is the converter's own (wait4).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../case_files.h"
#include "../fuzz/r_code_shape.h"
#include "driver/conversion.h"
#include "../fuzz/output_shape.h"

namespace fs = std::filesystem;

namespace {

int failures = 0;

void expect(bool condition, const std::string& what) {
  if (condition) return;
  std::fprintf(stderr, "FAILED: %s\n", what.c_str());
  ++failures;
}

std::string printable(std::string_view text, std::size_t limit = 300) {
  std::string shown;
  for (const char c : text.substr(0, limit)) {
    if (c == '\n') shown += "\\n";
    else if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(c));
      shown += code;
    } else shown += c;
  }
  if (text.size() > limit) shown += "...";
  return "\"" + shown + "\"";
}

enum class Stdin { null, closed, generated };
enum class Stdout { captured, full, closed };

struct Launch {
  std::vector<std::string> args;  // after the program
  std::string name;               // argv[0]; empty for the program's path
  std::size_t stack_kib = 0;      // the child's stack limit; 0 keeps this process's
  const std::vector<std::string>* environment = nullptr;  // the child's whole environment; null inherits
  Stdin in = Stdin::null;
  std::function<void(int fd)> generate;  // writes the document into fd
  Stdout out = Stdout::captured;
  std::size_t keep_out = std::string::npos;  // bytes of standard output kept (the last ones)
};

struct Outcome {
  bool exited = false;
  int status = -1;
  int signal = 0;
  long peak_rss_kb = 0;
  std::size_t out_bytes = 0;
  std::size_t out_lines = 0;
  std::string out;  // all of it, or its last keep_out bytes
  std::string err;
};

void fail_in_child(const char* what) {
  std::perror(what);
  _exit(127);
}

Outcome run(const std::string& program, const Launch& launch) {
  int out_pipe[2] = {-1, -1}, err_pipe[2], in_pipe[2] = {-1, -1};
  if (pipe2(err_pipe, O_CLOEXEC) != 0) std::abort();
  if (launch.out == Stdout::captured && pipe2(out_pipe, O_CLOEXEC) != 0) std::abort();
  if (launch.in == Stdin::generated && pipe2(in_pipe, O_CLOEXEC) != 0) std::abort();

  pid_t feeder = -1;
  if (launch.in == Stdin::generated) {
    feeder = fork();
    if (feeder == 0) {
      // Only the converter may hold the pipe's read end, or the feeder would
      // block for ever once the converter stops reading.
      close(in_pipe[0]);
      close(err_pipe[0]);
      close(err_pipe[1]);
      if (out_pipe[0] >= 0) close(out_pipe[0]), close(out_pipe[1]);
      signal(SIGPIPE, SIG_DFL);
      launch.generate(in_pipe[1]);
      _exit(0);
    }
  }

  const pid_t child = fork();
  if (child == 0) {
    switch (launch.in) {
      case Stdin::null: {
        const int fd = open("/dev/null", O_RDONLY);
        if (fd < 0 || dup2(fd, 0) < 0) fail_in_child("stdin");
        break;
      }
      case Stdin::closed:
        close(0);
        break;
      case Stdin::generated:
        if (dup2(in_pipe[0], 0) < 0) fail_in_child("stdin");
        break;
    }
    switch (launch.out) {
      case Stdout::captured:
        if (dup2(out_pipe[1], 1) < 0) fail_in_child("stdout");
        break;
      case Stdout::full: {
        const int fd = open("/dev/full", O_WRONLY);
        if (fd < 0 || dup2(fd, 1) < 0) fail_in_child("stdout");
        break;
      }
      case Stdout::closed:
        close(1);
        break;
    }
    if (dup2(err_pipe[1], 2) < 0) fail_in_child("stderr");
    if (launch.stack_kib != 0) {
      const rlimit limit{launch.stack_kib * 1024, launch.stack_kib * 1024};
      if (setrlimit(RLIMIT_STACK, &limit) != 0) fail_in_child("setrlimit");
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(launch.name.empty() ? program.c_str() : launch.name.c_str()));
    for (const std::string& arg : launch.args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (launch.environment) {
      std::vector<char*> envp;
      for (const std::string& entry : *launch.environment) envp.push_back(const_cast<char*>(entry.c_str()));
      envp.push_back(nullptr);
      execve(program.c_str(), argv.data(), envp.data());
    }
    execv(program.c_str(), argv.data());
    fail_in_child("execv");
  }
  if (in_pipe[0] >= 0) close(in_pipe[0]), close(in_pipe[1]);
  if (out_pipe[1] >= 0) close(out_pipe[1]);
  close(err_pipe[1]);

  Outcome outcome;
  std::vector<pollfd> open_fds;
  if (out_pipe[0] >= 0) open_fds.push_back({out_pipe[0], POLLIN, 0});
  open_fds.push_back({err_pipe[0], POLLIN, 0});
  std::vector<char> chunk(1 << 16);
  while (!open_fds.empty()) {
    if (poll(open_fds.data(), open_fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      std::abort();
    }
    for (std::size_t i = 0; i < open_fds.size();) {
      if (open_fds[i].revents == 0) {
        ++i;
        continue;
      }
      const ssize_t n = read(open_fds[i].fd, chunk.data(), chunk.size());
      if (n > 0) {
        const std::string_view data(chunk.data(), static_cast<std::size_t>(n));
        if (open_fds[i].fd == err_pipe[0]) {
          outcome.err.append(data);
        } else {
          outcome.out_bytes += data.size();
          outcome.out_lines += static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n'));
          outcome.out.append(data);
          if (outcome.out.size() > 2 * launch.keep_out && launch.keep_out != std::string::npos) {
            outcome.out.erase(0, outcome.out.size() - launch.keep_out);
          }
        }
        ++i;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      close(open_fds[i].fd);
      open_fds.erase(open_fds.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  if (launch.keep_out != std::string::npos && outcome.out.size() > launch.keep_out) {
    outcome.out.erase(0, outcome.out.size() - launch.keep_out);
  }
  int status = 0;
  rusage usage{};
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) std::abort();
  }
  if (feeder > 0) {
    int feeder_status;
    waitpid(feeder, &feeder_status, 0);
  }
  outcome.peak_rss_kb = usage.ru_maxrss;
  outcome.exited = WIFEXITED(status);
  outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
  outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return outcome;
}

void write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      _exit(1);
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Repeats `unit` until `total` bytes are written, in large blocks.
void write_repeated(int fd, std::string_view unit, std::size_t total) {
  std::string block;
  while (block.size() < (1u << 20)) block.append(unit);
  while (total > 0) {
    const std::size_t n = std::min(total, block.size());
    write_all(fd, std::string_view(block).substr(0, n));
    total -= n;
  }
}

bool no_sanitizer_report(const Outcome& outcome) {
  return outcome.err.find("AddressSanitizer") == std::string::npos &&
         outcome.err.find("LeakSanitizer") == std::string::npos &&
         outcome.err.find("runtime error") == std::string::npos;
}

// Ended by itself with one of the program's statuses.
bool ended_orderly(const Outcome& outcome) {
  return outcome.exited && outcome.status >= 0 && outcome.status <= 2 && no_sanitizer_report(outcome);
}

std::string describe(const Outcome& outcome) {
  std::ostringstream text;
  text << "exited " << outcome.exited << " status " << outcome.status << " signal " << outcome.signal << " stderr "
       << printable(outcome.err);
  return text.str();
}

constexpr long kib = 1024;
constexpr std::size_t mib = 1024 * 1024;

// ---- records: memory stays flat however long the document is ----
int check_records(const std::string& program, std::size_t megabytes, long max_rss_kb) {
  const std::string head = "<?xml version=\"1.0\"?>\n<!DOCTYPE records SYSTEM \"records.dtd\">\n<records>\n";
  const std::string record =
      "<record kind=\"person\" since='2001'><name>Ann Lee</name><born>1970-01-01</born>"
      "<DataVector>1 2 3 4</DataVector><note>\"quoted\" text = here</note><flag on=\"1\"/></record>\n";
  const std::string tail = "</records>\n";
  const std::size_t records = (megabytes * mib - head.size() - tail.size()) / record.size();
  Launch launch;
  launch.in = Stdin::generated;
  launch.generate = [&](int fd) {
    write_all(fd, head);
    write_repeated(fd, record, records * record.size());
    write_all(fd, tail);
  };
  launch.keep_out = 4096;
  const Outcome outcome = run(program, launch);
  std::printf("records: %zu records, %zu MB in, %zu MB out, peak RSS %ld KB (bound %ld KB)\n", records,
              (head.size() + tail.size() + records * record.size()) / mib, outcome.out_bytes / mib,
              outcome.peak_rss_kb, max_rss_kb);
  expect(outcome.exited && outcome.status == 0, "records convert with status 0: " + describe(outcome));
  expect(outcome.err.empty(), "records convert without messages: " + printable(outcome.err));
  // Per record: the list, its two attributes, four children with a list and
  // a value each, and the empty child's list and attribute.
  expect(outcome.out_lines == 1 + records * 13,
         "one root list and 13 statements per record, got " + std::to_string(outcome.out_lines) + " lines");
  // Children are numbered across records: their level keeps its names.
  const std::string number = std::to_string(records - 1);
  const std::string last = "records$record" + number + "$flag" + number + "_list()\n";
  expect(outcome.out.find(last) != std::string::npos, "the last record is written: " + printable(outcome.out, 400));
  expect(outcome.peak_rss_kb > 0 && outcome.peak_rss_kb < max_rss_kb,
         "peak RSS " + std::to_string(outcome.peak_rss_kb) + " KB under " + std::to_string(max_rss_kb) + " KB");
  return failures == 0 ? 0 : 1;
}

// ---- word: the largest token decides the buffer ----
Outcome convert_word(const std::string& program, std::size_t bytes) {
  const std::string head = "<?xml version=\"1.0\"?>\n<w>";
  const std::string tail = "</w>\n";
  Launch launch;
  launch.in = Stdin::generated;
  launch.generate = [&](int fd) {
    write_all(fd, head);
    write_repeated(fd, "abcdefghijklmnopqrstuvwxyz0123456789", bytes - bytes % 36);
    write_repeated(fd, "z", bytes % 36);
    write_all(fd, tail);
  };
  launch.keep_out = 64;
  return run(program, launch);
}

int check_word(const std::string& program, std::size_t megabytes, double max_ratio) {
  const std::size_t bytes = megabytes * mib;
  const Outcome small = convert_word(program, bytes / 5);
  const Outcome large = convert_word(program, bytes);
  const double ratio = static_cast<double>(large.peak_rss_kb) * kib / static_cast<double>(bytes);
  const double growth = static_cast<double>(large.peak_rss_kb - small.peak_rss_kb) * kib / (0.8 * static_cast<double>(bytes));
  std::printf("word: %zu MB word peak RSS %ld KB (ratio %.2f); %zu MB word %ld KB; growth %.2f bytes per byte\n",
              megabytes, large.peak_rss_kb, ratio, megabytes / 5, small.peak_rss_kb, growth);
  for (const Outcome* outcome : {&small, &large}) {
    expect(outcome->exited && outcome->status == 0, "the word converts with status 0: " + describe(*outcome));
    expect(outcome->err.empty(), "the word converts without messages");
  }
  // w_list(), then the slot with the whole word in quotes.
  expect(large.out_bytes == std::string("w_list()\nw[[1]]_\"\"\n").size() + bytes, "the whole word is written");
  expect(large.out.size() >= 2 && large.out.substr(large.out.size() - 2) == "\"\n", "the slot value ends the output");
  expect(ratio >= 1.0, "the word is held in memory (ratio at least 1)");
  expect(ratio <= max_ratio, "peak RSS per byte of the word at most " + std::to_string(max_ratio));
  expect(growth > 0.5 && growth <= max_ratio, "memory grows in proportion to the word");
  return failures == 0 ? 0 : 1;
}

// ---- tokens: a huge token costs at most a few times its size ----
constexpr std::string_view token_unit = "abcdefghijklmnopqrstuvwxyz0123456789";

void write_token(int fd, std::size_t bytes) {
  write_repeated(fd, token_unit, bytes - bytes % token_unit.size());
  write_repeated(fd, "z", bytes % token_unit.size());
}

// Memory above that of a tiny document may be this much besides the copies:
// page rounding and the allocator's own bookkeeping.
constexpr long allowance_kb = 1024;

int check_tokens(const std::string& program, std::size_t megabytes, double max_ratio, std::size_t declarations) {
  struct Kind {
    const char* name;
    std::string head;  // before the token
    std::string tail;  // after it
  };
  const std::string prologue = "<?xml version=\"1.0\"?>\n";
  const Kind kinds[] = {
      {"element name", prologue + "<w><", ">t</x></w>\n"},
      {"word", prologue + "<w>", "</w>\n"},
      {"quoted string in content", prologue + "<w>\"", "\"</w>\n"},
      {"attribute name", prologue + "<w ", "=\"v\">t</w>\n"},
      {"attribute value", prologue + "<w k=\"", "\">t</w>\n"},
      {"Id value", prologue + "<w Id=\"", "\">t</w>\n"},
  };
  const auto convert = [&program](const std::function<void(int)>& generate) {
    Launch launch;
    launch.in = Stdin::generated;
    launch.generate = generate;
    launch.keep_out = 64;
    return run(program, launch);
  };
  const auto judge = [&](const std::string& what, std::size_t bytes, const Outcome& tiny, const Outcome& large) {
    const long cost_kb = large.peak_rss_kb - tiny.peak_rss_kb;
    const double ratio = static_cast<double>(cost_kb) * kib / static_cast<double>(bytes);
    std::printf("%s: %zu bytes, peak RSS %ld KB, %ld KB above a tiny one (%.3f bytes per byte)\n", what.c_str(), bytes,
                large.peak_rss_kb, cost_kb, ratio);
    for (const Outcome* outcome : {&tiny, &large}) {
      expect(outcome->exited && outcome->status == 0 && outcome->err.empty(),
             what + ": converts with status 0 and no message: " + describe(*outcome));
    }
    expect(static_cast<double>(cost_kb) <= max_ratio * static_cast<double>(bytes) / kib + allowance_kb,
           what + ": peak RSS above a tiny one at most " + std::to_string(max_ratio) + " times the bytes");
  };
  const std::size_t bytes = megabytes * mib;
  for (const Kind& kind : kinds) {
    const auto document = [&kind](std::size_t size) {
      return [&kind, size](int fd) {
        write_all(fd, kind.head);
        write_token(fd, size);
        write_all(fd, kind.tail);
      };
    };
    const Outcome tiny = convert(document(1));
    const Outcome large = convert(document(bytes));
    judge(kind.name, bytes, tiny, large);
    expect(large.out_bytes > bytes, std::string(kind.name) + ": the token is written");
  }
  // Declarations in the prologue, then one reference to each of the first
  // and the last.
  const auto declared = [](std::size_t count) {
    return [count](int fd) {
      write_all(fd, "<?xml version=\"1.0\"?>\n");
      std::string block;
      for (std::size_t i = 0; i < count; ++i) {
        block.append("<!ENTITY e").append(std::to_string(i)).append(" \"v").append(std::to_string(i)).append("\">\n");
        if (block.size() > (1u << 16)) write_all(fd, std::exchange(block, std::string()));
      }
      write_all(fd, block);
      write_all(fd, "<d a=\"&e0;\" b=\"&e" + std::to_string(count - 1) + ";\">t</d>\n");
    };
  };
  std::size_t declaration_bytes = 0;
  for (std::size_t i = 0; i < declarations; ++i) declaration_bytes += 16 + 2 * std::to_string(i).size();
  const Outcome tiny = convert(declared(1));
  const Outcome many = convert(declared(declarations));
  judge(std::to_string(declarations) + " entity declarations", declaration_bytes, tiny, many);
  expect(many.out.ends_with("attr(d,\"a\")_\"v0\"\nattr(d,\"b\")_\"v" + std::to_string(declarations - 1) +
                            "\"\nd[[1]]_\"t\"\n"),
         "the declared values replace both references: " + printable(many.out));
  return failures == 0 ? 0 : 1;
}

// ---- nesting: the parser's stack bound, not the process's ----
int check_nesting(const std::string& program, std::size_t levels, std::size_t stack_kib) {
  struct Case {
    const char* name;
    std::string open;
    std::string close;
  };
  const Case cases[] = {
      {"elements", "<a>", ""},
      {"elements with text", "<a>t ", ""},
      {"declarations", "<!", "x"},
  };
  for (const Case& c : cases) {
    Launch launch;
    launch.in = Stdin::generated;
    launch.generate = [&](int fd) {
      write_repeated(fd, c.open, levels * c.open.size());
      write_all(fd, c.close);
    };
    launch.keep_out = 4096;
    launch.stack_kib = stack_kib;
    const Outcome outcome = run(program, launch);
    std::printf("nesting %s: %zu levels, status %d, peak RSS %ld KB\n", c.name, levels, outcome.status, outcome.peak_rss_kb);
    expect(outcome.exited && outcome.status == 1, std::string(c.name) + ": status 1: " + describe(outcome));
    expect(outcome.err.find("; XML yacc stack overflow\n") != std::string::npos,
           std::string(c.name) + ": reports the stack overflow: " + printable(outcome.err));
    const xml2slist::fuzz::ShapeReport shape = xml2slist::fuzz::check_output_shape(
        outcome.out.substr(outcome.out.find("Vesko$status_NULL\n")), false);
    expect(shape.ok && shape.has_status, std::string(c.name) + ": ends with the status statement: " + printable(outcome.out));
  }
  return failures == 0 ? 0 : 1;
}

// ---- stack: nothing large lives on the stack ----
using case_files::read_file;

int check_stack(const std::string& program, std::size_t stack_kib, const std::vector<std::string>& paths) {
  std::vector<fs::path> cases;
  for (const std::string& path : paths) {
    for (const auto& entry : fs::recursive_directory_iterator(path)) {
      if (entry.is_directory() && fs::exists(entry.path() / "expected_status")) cases.push_back(entry.path());
    }
  }
  std::sort(cases.begin(), cases.end());
  std::size_t compared = 0;
  for (const fs::path& dir : cases) {
    Launch launch;
    launch.args = case_files::arguments(dir);
    const std::string in = fs::exists(dir / "stdin") ? read_file(dir / "stdin") : std::string();
    launch.in = Stdin::generated;
    launch.generate = [&in](int fd) { write_all(fd, in); };
    launch.name = "xml2slist";
    // The cases that send their output elsewhere send it to a full device.
    if (fs::exists(dir / "stdout_path")) launch.out = Stdout::full;
    std::vector<std::string> environment = fs::exists(dir / "env") ? case_files::read_lines(dir / "env") : std::vector<std::string>{};
    std::vector<std::string> traced;
    for (const std::string& entry : environment) {
      if (!entry.starts_with("YYDEBUG=")) traced.push_back(entry);
    }
    traced.push_back("YYDEBUG=1");

    launch.environment = &environment;
    launch.stack_kib = stack_kib;
    const Outcome small = run(program, launch);
    const std::string name = dir.string();
    expect(ended_orderly(small), name + ": within " + std::to_string(stack_kib) + " KiB of stack: " + describe(small));
    expect(std::to_string(small.status) == case_files::substitute(read_file(dir / "expected_status"), "\n", ""),
           name + ": status " + std::to_string(small.status));
    if (!fs::exists(dir / "stdout_path")) {
      expect(small.out == read_file(dir / "expected_stdout"), name + ": standard output " + printable(small.out));
    }
    expect(small.err == read_file(dir / "expected_stderr"), name + ": standard error " + printable(small.err));
    // Traced, every step prints: that path is compared with a run on the
    // full stack.
    launch.environment = &traced;
    const Outcome small_traced = run(program, launch);
    launch.stack_kib = 0;
    const Outcome full_traced = run(program, launch);
    expect(ended_orderly(small_traced) && small_traced.status == full_traced.status &&
               small_traced.out == full_traced.out && small_traced.err == full_traced.err,
           name + ": traced within " + std::to_string(stack_kib) + " KiB of stack as with a full one: " +
               describe(small_traced));
    ++compared;
  }
  std::printf("stack: %zu cases converted within %zu KiB of stack, traced and as written\n", compared, stack_kib);
  expect(compared > 0, "cases found");
  return failures == 0 ? 0 : 1;
}

// ---- failures: every one ends with a message and status 2 ----
int check_failures(const std::string& program, const std::string& document) {
  const std::string directory = fs::path(document).parent_path().string();
  struct Case {
    const char* name;
    std::vector<std::string> args;
    Stdin in;
    Stdout out;
    int status;
    std::string message;  // standard error contains it
  };
  const std::vector<Case> cases = {
      {"a directory as input", {directory}, Stdin::null, Stdout::captured, 2, "input in flex scanner failed\n"},
      {"standard output full", {document}, Stdin::null, Stdout::full, 2, "Can't write standard output"},
      {"standard output closed", {document}, Stdin::null, Stdout::closed, 2, "Can't write standard output"},
      {"standard output closed, standard input read", {}, Stdin::null, Stdout::closed, 2, "Can't write standard output"},
      {"standard input closed", {}, Stdin::closed, Stdout::captured, 2, "input in flex scanner failed\n"},
      {"a missing file", {directory + "/no such file.xml"}, Stdin::null, Stdout::captured, 1, ": Can't open "},
  };
  for (const Case& c : cases) {
    Launch launch;
    launch.args = c.args;
    launch.in = c.in;
    launch.out = c.out;
    const Outcome outcome = run(program, launch);
    std::printf("%s: status %d, stderr %s\n", c.name, outcome.status, printable(outcome.err).c_str());
    expect(ended_orderly(outcome) && outcome.status == c.status,
           std::string(c.name) + ": status " + std::to_string(c.status) + ": " + describe(outcome));
    expect(outcome.err.find(c.message) != std::string::npos, std::string(c.name) + ": message " + printable(c.message));
    if (c.out == Stdout::captured && c.status == 2) expect(outcome.out.empty(), std::string(c.name) + ": no output");
  }
  return failures == 0 ? 0 : 1;
}

// ---- cuts: an input that ends in every state ----
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes that give no token: blanks, line feeds, and a lone ? or / that a
// blank or line feed follows (it vanishes with the blank).
bool gives_no_token(std::string_view text, char before) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (is_space(c)) {
      before = c;
      continue;
    }
    if ((c == '?' || c == '/') && (is_space(before) || before == '>') && i + 1 < text.size() && is_space(text[i + 1])) {
      before = c;
      continue;
    }
    return false;
  }
  return true;
}

// Every byte of a document up to 4 KB. A longer one (a capacity case: one
// long token or many repeats) is cut at every byte of its first and last
// 512 bytes and at every 61st byte between, where each cut repeats a state
// already met.
bool worth_cutting(std::size_t length, std::size_t size) {
  constexpr std::size_t edge = 512;
  return size <= 4096 || length < edge || length + edge >= size || length % 61 == 0;
}

// The documents named, and the input.xml of every case under the folders named.
std::vector<fs::path> documents_in(const std::vector<std::string>& paths) {
  std::vector<fs::path> documents;
  for (const std::string& path : paths) {
    if (fs::is_directory(path)) {
      for (const auto& entry : fs::recursive_directory_iterator(path)) {
        if (entry.is_regular_file() && entry.path().filename() == "input.xml") documents.push_back(entry.path());
      }
    } else {
      documents.push_back(path);
    }
  }
  std::sort(documents.begin(), documents.end());
  return documents;
}

int check_cuts(const std::string& program, std::size_t shard, std::size_t shards, std::size_t stride,
               const std::vector<std::string>& paths) {
  const std::vector<fs::path> documents = documents_in(paths);
  char scratch[] = "/tmp/xml2slist-cut-XXXXXX";
  const int scratch_fd = mkstemp(scratch);
  if (scratch_fd < 0) std::abort();
  close(scratch_fd);
  std::size_t runs = 0, accepted = 0, job = 0;
  for (const fs::path& path : documents) {
    std::string whole = read_file(path);
    // The document ends at a Ctrl-Z byte: nothing behind it is read.
    const std::size_t end_of_text = whole.find('\x1a');
    const std::size_t effective = std::min(whole.size(), end_of_text);
    Launch launch;
    launch.args = {scratch};
    auto convert = [&](std::size_t length) {
      std::ofstream(scratch, std::ios::binary | std::ios::trunc).write(whole.data(), static_cast<std::streamsize>(length));
      ++runs;
      return run(program, launch);
    };
    const Outcome full = convert(whole.size());
    const bool valid = full.exited && full.status == 0;
    for (std::size_t length = 0; length < whole.size(); ++length) {
      if (!worth_cutting(length, whole.size()) || job++ % stride != 0 || (job / stride) % shards != shard) continue;
      const Outcome outcome = convert(length);
      const std::string where = path.string() + " cut at " + std::to_string(length) + " " +
                                printable(std::string_view(whole).substr(0, length).substr(length > 60 ? length - 60 : 0));
      expect(ended_orderly(outcome), where + ": " + describe(outcome));
      const std::string problem = xml2slist::fuzz::check_conversion(
          std::string_view(whole).substr(0, length), outcome.status, outcome.out, outcome.err, false);
      expect(problem.empty(), where + ": " + problem);
      if (!valid) continue;
      const std::string_view missing = std::string_view(whole).substr(std::min(length, effective), effective - std::min(length, effective));
      const bool whole_document = gives_no_token(missing, length > 0 ? whole[std::min(length, effective) - 1] : ' ');
      if (outcome.status == 0) ++accepted;
      expect(outcome.status != 0 || whole_document, where + ": accepted although the document is not complete");
      // A lone ? or / at the very end is a token of its own; only a blank
      // after it would have made it vanish.
      const bool ends_in_lone_mark = length > 0 && (whole[length - 1] == '?' || whole[length - 1] == '/');
      if (whole_document && !ends_in_lone_mark && missing.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        expect(outcome.status == 0 && outcome.out == full.out, where + ": only blanks are missing, yet the result differs");
      }
    }
  }
  unlink(scratch);
  std::printf("cuts: %zu documents, %zu runs (shard %zu of %zu, every %zu. cut), %zu cuts accepted as whole documents\n",
              documents.size(), runs, shard + 1, shards, stride, accepted);
  expect(!documents.empty(), "documents found");
  return failures == 0 ? 0 : 1;
}

// ---- r_cuts: xml2r on an input that ends in every state, in-process ----
// Each cut converts to R code that is the program's own code around closed
// literals, with xml2slist's exit status and messages.
int check_r_cuts(const std::vector<std::string>& paths) {
  const std::vector<fs::path> documents = documents_in(paths);
  std::size_t runs = 0;
  for (const fs::path& path : documents) {
    const std::string whole = read_file(path);
    for (std::size_t length = 0; length <= whole.size(); ++length) {
      if (!worth_cutting(length, whole.size())) continue;
      const std::string_view cut = std::string_view(whole).substr(0, length);
      const auto s = xml2slist::convert_document(cut);
      const auto r = xml2slist::convert_document(cut, nullptr, xml2slist::platform_memory(), xml2slist::Target::r_code);
      ++runs;
      const std::string where = path.string() + " cut at " + std::to_string(length);
      const std::string problem = xml2slist::fuzz::check_r_code(r.out);
      expect(problem.empty(), where + ": " + problem);
      expect(r.status == s.status && r.err == s.err, where + ": exit status or messages differ from xml2slist's");
    }
  }
  std::printf("r_cuts: %zu documents, %zu cuts\n", documents.size(), runs);
  expect(!documents.empty(), "documents found");
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto usage = [] {
    std::fprintf(stderr, "usage: xml2slist_bounds records|word|tokens|nesting|stack|failures|cuts BIN ... | r_cuts PATH...\n");
    return 2;
  };
  if (args.size() >= 2 && args[0] == "r_cuts") return check_r_cuts({args.begin() + 1, args.end()});
  if (args.size() < 3) return usage();
  const std::string& command = args[0];
  const std::string& program = args[1];
  if (command == "records" && args.size() == 4) {
    return check_records(program, std::stoul(args[2]), std::stol(args[3]));
  }
  if (command == "word" && args.size() == 4) return check_word(program, std::stoul(args[2]), std::stod(args[3]));
  if (command == "tokens" && args.size() == 5) {
    return check_tokens(program, std::stoul(args[2]), std::stod(args[3]), std::stoul(args[4]));
  }
  if (command == "nesting" && args.size() <= 4) {
    return check_nesting(program, std::stoul(args[2]), args.size() == 4 ? std::stoul(args[3]) : 0);
  }
  if (command == "stack" && args.size() >= 4) return check_stack(program, std::stoul(args[2]), {args.begin() + 3, args.end()});
  if (command == "failures") return check_failures(program, args[2]);
  if (command == "cuts" && args.size() >= 6) {
    return check_cuts(program, std::stoul(args[2]), std::stoul(args[3]), std::stoul(args[4]),
                      {args.begin() + 5, args.end()});
  }
  return usage();
}
