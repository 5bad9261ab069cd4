// libFuzzer target: converts the input in-process, as the program would,
// and checks what must hold for every input: the exit status, the status
// statement against standard error, and the shape of every statement. Some
// inputs are converted a second time with the parser trace switched on (or
// with a YYDEBUG value that leaves it off); the statements without the
// trace lines must then be the same as without the trace. Each input is
// also converted to R code, which must be the program's own code around
// closed string literals.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

#include "driver/conversion.h"
#include "output_shape.h"
#include "r_code_shape.h"

namespace {

void show(const char* label, std::string_view text) {
  std::fprintf(stderr, "---- %s (%zu bytes)\n", label, text.size());
  std::fwrite(text.data(), 1, std::min<std::size_t>(text.size(), 4000), stderr);
  std::fprintf(stderr, "\n");
}

[[noreturn]] void violation(const std::string& problem, std::string_view document, const xml2slist::ConversionResult& run,
                            const char* yydebug) {
  std::fprintf(stderr, "\ninvariant violated: %s (YYDEBUG %s, status %d)\n", problem.c_str(), yydebug ? yydebug : "unset",
               run.status);
  show("document", document);
  show("standard output", run.out);
  show("standard error", run.err);
  std::abort();
}

// YYDEBUG values for the second run, and whether each switches the trace on.
struct TraceSetting {
  const char* value;
  bool traces;
};
constexpr TraceSetting trace_settings[] = {{"1", true}, {"1", true}, {"9x", true}, {"0", false}, {"", false}, {" 1", false}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  const xml2slist::ConversionResult plain = xml2slist::convert_document(document);
  xml2slist::fuzz::ShapeReport shape;
  std::string problem = xml2slist::fuzz::check_conversion(document, plain.status, plain.out, plain.err, false, &shape);
  if (!problem.empty()) violation(problem, document, plain, nullptr);
  // The scanner's buffer comes from the heap here, and no stream fails.
  if (plain.status == 2) violation("fatal scanner error on an in-memory document", document, plain, nullptr);

  // xml2r reads the document as xml2slist does, and its program runs
  // nothing of the document.
  const xml2slist::ConversionResult r =
      xml2slist::convert_document(document, nullptr, xml2slist::platform_memory(), xml2slist::Target::r_code);
  problem = xml2slist::fuzz::check_r_code(r.out);
  if (problem.empty() && r.status != plain.status) problem = "xml2r's exit status differs from xml2slist's";
  if (problem.empty() && r.err != plain.err) problem = "xml2r's standard error differs from xml2slist's";
  if (!problem.empty()) violation("xml2r: " + problem, document, r, nullptr);

  const std::size_t choice = std::hash<std::string_view>{}(document);
  if (choice % 4 != 0) return 0;
  const TraceSetting& setting = trace_settings[(choice / 4) % std::size(trace_settings)];
  const xml2slist::ConversionResult traced = xml2slist::convert_document(document, setting.value);
  xml2slist::fuzz::ShapeReport traced_shape;
  problem = xml2slist::fuzz::check_conversion(document, traced.status, traced.out, traced.err, setting.traces,
                                              &traced_shape);
  if (problem.empty() && traced.status != plain.status) problem = "the trace changed the exit status";
  if (problem.empty() && traced.err != plain.err) problem = "the trace changed standard error";
  if (problem.empty() && traced_shape.statements != plain.out) problem = "the trace changed the statements";
  if (setting.traces && problem.empty() && traced.out == plain.out) problem = "the trace is switched on but wrote nothing";
  if (!problem.empty()) violation(problem, document, traced, setting.value);
  return 0;
}
