// Whole conversions in memory, scanner to output text, per document family.

#include <benchmark/benchmark.h>

#include <string>

#include "documents.h"
#include "driver/conversion.h"

namespace {

void convert(benchmark::State& state, const std::string& text) {
  std::size_t output = 0;
  for (auto _ : state) {
    const xml2slist::ConversionResult result = xml2slist::convert_document(text);
    if (result.status != 0) {
      state.SkipWithError("the document did not convert with status 0");
      break;
    }
    output += result.out.size();
  }
  benchmark::DoNotOptimize(output);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ConvertFamily(benchmark::State& state, const char* family) {
  const std::string text = xml2slist::bench::make_document(family, 1'000'000);
  convert(state, text);
}
BENCHMARK_CAPTURE(BM_ConvertFamily, records, "records");
BENCHMARK_CAPTURE(BM_ConvertFamily, deep, "deep");
BENCHMARK_CAPTURE(BM_ConvertFamily, wide, "wide");
BENCHMARK_CAPTURE(BM_ConvertFamily, ids, "ids");
BENCHMARK_CAPTURE(BM_ConvertFamily, colliding, "colliding");
BENCHMARK_CAPTURE(BM_ConvertFamily, dense, "dense");
BENCHMARK_CAPTURE(BM_ConvertFamily, idrecords, "idrecords");
BENCHMARK_CAPTURE(BM_ConvertFamily, text, "text");

// A small document, as scripts convert thousands of them: set-up costs count.
void BM_ConvertSmall(benchmark::State& state) {
  const std::string text = xml2slist::bench::make_document("records", 17'000);
  convert(state, text);
}
BENCHMARK(BM_ConvertSmall);

}  // namespace
