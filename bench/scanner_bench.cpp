// The scanner's inner loops: cutting words, markup and quoted strings out
// of a buffer held in memory.

#include <benchmark/benchmark.h>

#include <string>

#include "documents.h"
#include "scanner/byte_source.h"
#include "scanner/scanner.h"
#include "scanner/text_mode_reader.h"

namespace {

using xml2slist::bench::make_document;

// Scans the whole of `text`; the token count keeps the loop from being dropped.
void scan(benchmark::State& state, const std::string& text) {
  std::size_t tokens = 0;
  for (auto _ : state) {
    xml2slist::MemorySource source(text);
    xml2slist::TextModeReader reader(source);
    xml2slist::Scanner scanner(reader);
    while (scanner.next_token() != xml2slist::end_of_input) ++tokens;
    benchmark::DoNotOptimize(scanner.token_value().data());
  }
  benchmark::DoNotOptimize(tokens);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["tokens"] = static_cast<double>(tokens) / static_cast<double>(state.iterations());
}

// Running text: short words between blanks and newlines.
void BM_ScanWords(benchmark::State& state) {
  static const std::string text = make_document("text", 1'000'000);
  scan(state, text);
}
BENCHMARK(BM_ScanWords);

// The same running text read as the engine reads a text run: after each
// token, the tokens of the run that follow in batches of up to 32. Words
// joined by single blanks come as one span, which counts as one item.
void BM_ScanWordsInBatches(benchmark::State& state) {
  static const std::string text = make_document("text", 1'000'000);
  std::size_t items = 0;
  xml2slist::RunToken run[32];
  for (auto _ : state) {
    xml2slist::MemorySource source(text);
    xml2slist::TextModeReader reader(source);
    xml2slist::Scanner scanner(reader);
    while (scanner.next_token() != xml2slist::end_of_input) {
      ++items;
      while (const std::size_t count = scanner.next_run_tokens(run, 32)) items += count;
    }
    benchmark::DoNotOptimize(run[0].data);
  }
  benchmark::DoNotOptimize(items);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["items"] = static_cast<double>(items) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ScanWordsInBatches);

// Ordinary records: tags, attributes, quoted values, numbers.
void BM_ScanRecords(benchmark::State& state) {
  static const std::string text = make_document("records", 1'000'000);
  scan(state, text);
}
BENCHMARK(BM_ScanRecords);

// One long token that makes the input buffer grow while it is matched.
void BM_ScanLongWord(benchmark::State& state) {
  const std::string text(static_cast<std::size_t>(state.range(0)), 'w');
  scan(state, text);
}
BENCHMARK(BM_ScanLongWord)->Arg(1 << 16)->Arg(1 << 22);

// Line ends written as carriage return and line feed pairs, which the
// text-mode reader turns into line feeds.
void BM_ScanCrLfLines(benchmark::State& state) {
  std::string text;
  for (int line = 0; line < 50000; ++line) text += "alpha beta gamma delta\r\n";
  scan(state, text);
}
BENCHMARK(BM_ScanCrLfLines);

}  // namespace
