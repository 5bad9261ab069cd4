// Memory running out, on the real binary. Each subcommand is one ctest test;
// it prints what it did and exits non-zero on a fault.
//
//   sweep SHIM BIN CASE [onward]   fails each allocation of the case's run in
//                                  turn (with `onward`, every allocation from
//                                  that one on), through the preloaded SHIM
//   corpus SHIM BIN SHARD SHARDS FOLDER...
//                                  the same for every document found, traced
//                                  and untraced
//   address_space BIN DOCUMENT     runs under address-space limits from where
//                                  the conversion fits down to where the
//                                  loader itself fails
//
// A run with a failed allocation must either convert exactly as the run
// without one (same standard output, standard error and status: the failed
// allocation was one the program can do without, or the run ended with the
// status of a repeated Id the check met first), or end with status 2,
// standard output a prefix of the full run's, and standard error a prefix of
// the full run's followed by one last line:
//   - "<program as invoked>: out of memory", for any allocation;
//   - the scanner's own fatal message, when the allocation refused was its
//     input buffer's: the scanner asks for that memory itself and, like the
//     scanner generators it follows, reports a refusal as
//     "out of dynamic memory in yy_create_buffer()" (the buffer record or its
//     first byte area, a malloc of one of those two sizes) or
//     "fatal error - scanner input buffer overflow" (growing the area for a
//     long token, a realloc).
// No run may die of a signal or end with any other status.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "scanner/scan_buffer.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Outcome {
  bool exited = false;
  int status = -1;
  int signal = 0;
  std::string out;
  std::string err;
  std::string report;  // what the shim wrote

  bool operator==(const Outcome& other) const {
    return exited == other.exited && status == other.status && out == other.out && err == other.err;
  }
};

struct Launch {
  std::vector<std::string> args;            // after the program
  std::vector<std::string> environment;     // NAME=VALUE, added to this process's
  rlim_t address_space = RLIM_INFINITY;     // bytes
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Variables of the sweep itself are never inherited from the caller.
bool owned_variable(std::string_view entry) {
  for (const std::string_view name : {"LD_PRELOAD=", "FAIL_ALLOCATION", "YYDEBUG="}) {
    if (entry.substr(0, name.size()) == name) return true;
  }
  return false;
}

Outcome run(const fs::path& scratch, const std::string& program, const Launch& launch) {
  const fs::path out_path = scratch / "stdout", err_path = scratch / "stderr", report_path = scratch / "report";
  fs::remove(report_path);
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    if (!owned_variable(*entry)) environment.emplace_back(*entry);
  }
  environment.insert(environment.end(), launch.environment.begin(), launch.environment.end());
  environment.push_back("FAIL_ALLOCATION_REPORT=" + report_path.string());
  std::vector<char*> envp, argv;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : launch.args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
    if (launch.address_space != RLIM_INFINITY) {
      const rlimit limit{launch.address_space, launch.address_space};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
    }
    execve(program.c_str(), argv.data(), envp.data());
    constexpr std::string_view failed = "exec failed\n";
    [[maybe_unused]] const ssize_t n = write(2, failed.data(), failed.size());
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) {
    std::perror("fork or wait");
    std::exit(2);
  }
  Outcome outcome;
  outcome.exited = WIFEXITED(status);
  outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
  outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  outcome.out = read_file(out_path);
  outcome.err = read_file(err_path);
  outcome.report = read_file(report_path);
  return outcome;
}

std::string printable(std::string_view text, std::size_t limit = 400) {
  std::string shown;
  for (const char c : text.substr(0, limit)) {
    if (c == '\n') shown += "\\n";
    else shown += c;
  }
  if (text.size() > limit) shown += "...";
  return "\"" + shown + "\"";
}

std::string describe(const Outcome& outcome) {
  std::ostringstream text;
  text << (outcome.exited ? "status " + std::to_string(outcome.status) : "signal " + std::to_string(outcome.signal))
       << ", stderr " << printable(outcome.err) << ", stdout " << printable(outcome.out, 120);
  return text.str();
}

bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The shim's line about the refused call: "failed <call> <bytes>", or empty.
std::string failed_call(const Outcome& outcome) {
  const std::size_t at = outcome.report.find("failed ");
  if (at == std::string::npos) return {};
  return outcome.report.substr(at + 7, outcome.report.find('\n', at) - at - 7);
}

unsigned long counted(const Outcome& outcome) {
  const std::size_t at = outcome.report.find("counted ");
  return at == std::string::npos ? 0 : std::stoul(outcome.report.substr(at + 8));
}

enum class Ending { same, out_of_memory, scanner_fatal, fault };

// How a run with a refused allocation ended, against the full run; `why`
// says what is wrong with a fault.
Ending judge(const Outcome& full, const Outcome& run, const std::string& program, const std::string& call,
             std::string& why) {
  if (run == full) return Ending::same;
  if (!run.exited || run.status != 2) {
    why = "ended neither as the full run nor with status 2";
    return Ending::fault;
  }
  if (!starts_with(full.out, run.out)) {
    why = "standard output is not a prefix of the full run's";
    return Ending::fault;
  }
  const std::string out_of_memory = program + ": out of memory\n";
  const std::string created = "out of dynamic memory in yy_create_buffer()\n";
  const std::string overflow = "fatal error - scanner input buffer overflow\n";
  const std::string record = "malloc " + std::to_string(sizeof(xml2slist::ScanBuffer));
  const std::string area = "malloc " + std::to_string(xml2slist::initial_buffer_size + 2);
  std::size_t last_line;
  Ending ending;
  if (ends_with(run.err, out_of_memory)) {
    last_line = out_of_memory.size();
    ending = Ending::out_of_memory;
  } else if (ends_with(run.err, created) && (call == record || call == area)) {
    last_line = created.size();
    ending = Ending::scanner_fatal;
  } else if (ends_with(run.err, overflow) && starts_with(call, "realloc ")) {
    last_line = overflow.size();
    ending = Ending::scanner_fatal;
  } else {
    why = "standard error does not end in the report that fits the refused " + call;
    return Ending::fault;
  }
  if (!starts_with(full.err, std::string_view(run.err).substr(0, run.err.size() - last_line))) {
    why = "standard error before its last line is not a prefix of the full run's";
    return Ending::fault;
  }
  return ending;
}

// ---- the documents swept ----
struct Case {
  const char* name;
  std::string document;
  const char* yydebug;  // nullptr: unset
  int copies = 1;       // the document is named this many times on the command line
};

std::string repeated(char c, std::size_t n) { return std::string(n, c); }

std::vector<Case> cases() {
  const std::string features =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE doc [\n  <!ENTITY who \"Ann\">\n  <!ENTITY v '2'>\n  <!ENTITY v '3'>\n]>\n"
      "<!-- a comment -->\n"
      "<doc Id=\"d\" xml:lang=\"en\" by=\"&who;\" ver='&v;' re=\"&who; and Bo\">\n"
      "  <part Id=\"p1\" path=\"C:\\x\">Some <b>bold</b> text \"quoted\" x=y &who;</part>\n"
      "  <part Id='p2' k=\"1\" data-x=\"2\"/>\n"
      "  <DataVector1 Id=\"v1\">1 -2 3.5e2 \"s\"</DataVector1>\n"
      "  <DataVector1>4\n    5</DataVector1>\n"
      "  <part><deep Id=\"q\" a=\"b\">a b c</deep><deep>d</deep></part>\n"
      "</doc>\n";
  const std::string duplicate =
      "<?xml version=\"1.0\"?>\n<r>\n  <a Id=\"x\" k=\"1\">t u</a>\n  <b k=\"2\" Id=\"y\"/>\n"
      "  <c Id=\"x\" m=\"v\" n=\"w\">never written</c>\n</r>\n";
  const std::string syntax =
      "<?xml version=\"1.0\"?>\n<list Id=\"l\">\n  <entry>first</entry>\n  <entry size=2>second</entry>\n"
      "  <entry Id=\"e\">third</entry>\n</list>\n";
  // Longer than the scanner's first buffer, so that it grows; an Id long
  // enough to be checked at once.
  const std::string large = "<r Id=\"" + repeated('i', 300) + "\" k=\"" + repeated('v', 17000) + "\">" +
                            repeated('w', 17000) + " x <DataVector>" + repeated('7', 17000) + " 8</DataVector></r>\n";
  return {
      {"features", features, nullptr},
      {"features_trace", features, "1"},
      {"duplicate_id", duplicate, nullptr},
      {"duplicate_id_trace", duplicate, "1"},
      {"syntax_error", syntax, nullptr},
      {"syntax_error_trace", syntax, "1"},
      // An Id waits for its check while the rest of its tag is read.
      {"waiting_id", "<r Id=\"a\"><b Id=\"c\">t</b></r>", nullptr},
      {"large_tokens", large, nullptr},
      // The list of open files grows before the conversion starts.
      {"many_files", "<r Id=\"a\"><b Id=\"c\">t</b></r>", nullptr, 9},
  };
}

// Sweeps one case; returns the number of faults, each reported on stderr.
int sweep_case(const std::string& shim, const std::string& program, const Case& sweep, bool onward) {
  const auto started = std::chrono::steady_clock::now();
  const fs::path scratch = fs::temp_directory_path() / ("xml2slist_oom_" + std::to_string(getpid()));
  fs::create_directories(scratch);
  const fs::path document = scratch / "input.xml";
  std::ofstream(document, std::ios::binary) << sweep.document;

  Launch launch;
  for (int i = 0; i < sweep.copies; ++i) launch.args.push_back(document.string());
  if (sweep.yydebug) launch.environment.push_back(std::string("YYDEBUG=") + sweep.yydebug);
  const Outcome plain = run(scratch, program, launch);
  launch.environment.push_back("LD_PRELOAD=" + fs::absolute(shim).string());
  const Outcome full = run(scratch, program, launch);
  const std::string title = std::string(sweep.name) + (sweep.yydebug ? " (traced)" : "") + (onward ? " (onward)" : "");
  int faults = 0;
  auto fault = [&faults, &title](const std::string& what) {
    std::fprintf(stderr, "FAILED: %s: %s\n", title.c_str(), what.c_str());
    ++faults;
  };
  // The shim counts the program's allocations and changes nothing else.
  if (!(full == plain)) fault("the run with the shim loaded differs from the plain run: " + describe(full));
  const unsigned long allocations = counted(full);
  if (allocations == 0) fault("the shim counted no allocation: it was not interposed");
  if (onward) launch.environment.push_back("FAIL_ALLOCATION_ONWARD=1");

  int endings[4] = {0, 0, 0, 0};
  for (unsigned long n = 1; n <= allocations + 1 && faults < 10; ++n) {
    launch.environment.push_back("FAIL_ALLOCATION=" + std::to_string(n));
    const Outcome outcome = run(scratch, program, launch);
    launch.environment.pop_back();
    const std::string call = failed_call(outcome);
    const std::string where = "allocation " + std::to_string(n) + " (" + call + ")";
    if (n > allocations) {
      // One past the last: nothing fails, and the run is the full one.
      if (!call.empty() || !(outcome == full)) fault(where + " is past the last yet the run differs");
      continue;
    }
    if (call.empty()) {
      fault(where + " was never made: the count is not the same from run to run");
      continue;
    }
    std::string why;
    const Ending ending = judge(full, outcome, program, call, why);
    ++endings[static_cast<int>(ending)];
    if (ending == Ending::fault) fault(where + ": " + why + "; " + describe(outcome));
  }
  // The document must reach the handler at all, or the sweep proves nothing.
  if (endings[static_cast<int>(Ending::out_of_memory)] == 0) fault("no run ended in out of memory");
  fs::remove_all(scratch);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("%s: %lu allocations; %d runs as the full one, %d out of memory, %d scanner fatal, %d faults; %.2f s\n",
              title.c_str(), allocations, endings[0], endings[1], endings[2], faults, seconds);
  return faults;
}

int sweep(const std::string& shim, const std::string& program, const std::string& name, bool onward) {
  for (const Case& c : cases()) {
    if (name == c.name) return sweep_case(shim, program, c, onward) == 0 ? 0 : 1;
  }
  std::fprintf(stderr, "no case named %s\n", name.c_str());
  return 2;
}

// Every document (*.xml) under the folders, untraced and traced, the
// documents sorted and dealt out to shards round the table.
int sweep_corpus(const std::string& shim, const std::string& program, std::size_t shard, std::size_t shards,
                 const std::vector<std::string>& folders) {
  std::vector<fs::path> documents;
  for (const std::string& folder : folders) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
      if (entry.is_regular_file() && entry.path().extension() == ".xml") documents.push_back(entry.path());
    }
  }
  std::sort(documents.begin(), documents.end());
  int faults = 0;
  for (std::size_t i = shard; i < documents.size(); i += shards) {
    const std::string name = documents[i].string();
    const std::string text = read_file(documents[i]);
    faults += sweep_case(shim, program, {name.c_str(), text, nullptr}, false);
    faults += sweep_case(shim, program, {name.c_str(), text, "1"}, false);
  }
  return faults == 0 && !documents.empty() ? 0 : 1;
}

// ---- address space: a limit too small for the run, large enough to load ----
int address_space(const std::string& program, const std::string& document) {
  const fs::path scratch = fs::temp_directory_path() / ("xml2slist_oom_as_" + std::to_string(getpid()));
  fs::create_directories(scratch);
  Launch launch;
  launch.args.push_back(document);
  const Outcome full = run(scratch, program, launch);
  int faults = 0;
  auto fault = [&faults](const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++faults;
  };
  if (!full.exited || full.status != 0) fault("the unlimited run fails: " + describe(full));
  // The smallest limit, to 16 KiB, under which the document converts.
  constexpr rlim_t kib = 1024;
  rlim_t low = 64 * kib, high = 1024 * 1024 * kib;
  while (high - low > 16 * kib) {
    launch.address_space = (low + high) / 2 / (16 * kib) * (16 * kib);
    (run(scratch, program, launch) == full ? high : low) = launch.address_space;
  }
  // Down from a little above it, in steps of 4 KiB, until the dynamic loader
  // cannot map the program: every run in between converts or reports.
  const std::string out_of_memory = program + ": out of memory\n";
  int reported = 0, steps = 0;
  for (rlim_t limit = high + 64 * kib; limit > 64 * kib && faults < 10; limit -= 4 * kib, ++steps) {
    launch.address_space = limit;
    const Outcome outcome = run(scratch, program, launch);
    if (outcome == full) continue;
    if (outcome.exited && outcome.status == 2 && outcome.err == out_of_memory && starts_with(full.out, outcome.out)) {
      ++reported;
      continue;
    }
    // Below this, the program never gets control.
    if (outcome.exited && outcome.status == 127 && reported > 0) break;
    fault("under " + std::to_string(limit / kib) + " KiB: " + describe(outcome));
  }
  if (reported == 0) fault("no limit made the program report that memory ran out");
  fs::remove_all(scratch);
  std::printf("address space: converts from %lu KiB; %d limits tried, %d reported out of memory\n",
              static_cast<unsigned long>(high / kib), steps, reported);
  return faults == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 4 && args[0] == "sweep") {
    return sweep(args[1], args[2], args[3], args.size() > 4 && args[4] == "onward");
  }
  if (args.size() >= 6 && args[0] == "corpus") {
    return sweep_corpus(args[1], args[2], std::stoul(args[3]), std::stoul(args[4]), {args.begin() + 5, args.end()});
  }
  if (args.size() == 3 && args[0] == "address_space") return address_space(args[1], args[2]);
  std::fprintf(stderr,
               "usage: xml2slist_oom sweep SHIM BIN CASE [onward] | corpus SHIM BIN SHARD SHARDS FOLDER... |"
               " address_space BIN DOCUMENT\n");
  return 2;
}
