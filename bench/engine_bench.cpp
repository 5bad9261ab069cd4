// The parse engine alone: a recorded token stream replayed into it, with
// rule actions that do nothing.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "documents.h"
#include "null_sink.h"
#include "parser/parse_engine.h"
#include "parser/rule_by_rule.h"
#include "scanner/byte_source.h"
#include "scanner/scanner.h"
#include "scanner/text_mode_reader.h"

namespace {

struct RecordedToken {
  int number;
  std::string value;
};

std::vector<RecordedToken> record_tokens(const std::string& text) {
  xml2slist::MemorySource source(text);
  xml2slist::TextModeReader reader(source);
  xml2slist::Scanner scanner(reader);
  std::vector<RecordedToken> tokens;
  for (;;) {
    const int token = scanner.next_token();
    const bool has_value = token == xml2slist::WORD || token == xml2slist::STRING;
    tokens.push_back({token, has_value ? scanner.token_value() : std::string()});
    if (token == xml2slist::end_of_input) return tokens;
  }
}

// Hands out the recorded tokens again; a WORD or STRING fills the value as
// the scanner would.
class ReplayTokens : public xml2slist::shortcuts::NoReadAhead {
 public:
  explicit ReplayTokens(const std::vector<RecordedToken>& tokens) : tokens_(tokens) {}
  int next_token() {
    const RecordedToken& token = tokens_[next_ < tokens_.size() ? next_++ : tokens_.size() - 1];
    if (token.number == xml2slist::WORD || token.number == xml2slist::STRING) value_.assign(token.value);
    return token.number;
  }
  std::string_view value_text() const { return value_; }

 private:
  const std::vector<RecordedToken>& tokens_;
  std::size_t next_ = 0;
  std::string value_;
};

class NoActions : public xml2slist::RuleByRule<NoActions> {
 public:
  void reduce(int rule, std::string* slots) {
    benchmark::DoNotOptimize(rule);
    benchmark::DoNotOptimize(slots);
  }
  void report_xml_error(std::string_view) { ++errors; }
  int errors = 0;
};

void parse_tokens(benchmark::State& state, const std::string& text) {
  const std::vector<RecordedToken> tokens = record_tokens(text);
  xml2slist::bench::NullSink sink;
  xml2slist::OutputStream trace(sink);
  NoActions actions;
  for (auto _ : state) {
    ReplayTokens replay(tokens);
    xml2slist::ParseEngine<ReplayTokens, NoActions> engine(replay, actions, trace);
    if (engine.parse_document(nullptr) != 0) state.SkipWithError("the document did not parse");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * tokens.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_EngineRecords(benchmark::State& state) {
  static const std::string text = xml2slist::bench::make_document("records", 1'000'000);
  parse_tokens(state, text);
}
BENCHMARK(BM_EngineRecords);

void BM_EngineDeep(benchmark::State& state) {
  static const std::string text = xml2slist::bench::make_document("deep", 1'000'000);
  parse_tokens(state, text);
}
BENCHMARK(BM_EngineDeep);

}  // namespace
