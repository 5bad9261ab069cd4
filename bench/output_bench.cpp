// Writing element paths and content slots: the statements of a record as
// the rule actions produce them, into a sink that only counts bytes.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "null_sink.h"
#include "translate/content_output.h"
#include "translate/element_path.h"

namespace {

using xml2slist::ContentOutput;
using xml2slist::ElementPath;

// The start tag's actions: the pending text ends, the element is named and
// its list is created.
void start_element(ElementPath& path, ContentOutput& content, std::string& scratch, std::string_view name) {
  content.flush_text();
  scratch.assign(name);
  path.push_member(scratch);
  path.open_list();
}

void end_element(ElementPath& path, ContentOutput& content) {
  content.flush_text();
  path.pop_member();
}

// A text run of words as the body rules collect it.
void text_run(ContentOutput& content, const std::vector<std::string_view>& words) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i != 0) content.add_separator();
    content.append_word(words[i]);
    if (i == 0) content.set_slot_counter(0);
    content.open_slot();
  }
}

// One record with three children, repeated under one root: repeat numbers
// at level 1, fresh names below it.
void BM_WriteRecords(benchmark::State& state) {
  xml2slist::bench::NullSink sink;
  xml2slist::OutputStream out(sink);
  ElementPath path(out);
  ContentOutput content(out, path);
  std::string scratch;
  const std::vector<std::string_view> name = {"Ann", "Lee"};
  const std::vector<std::string_view> vector = {"1.5", "22.25", "3", "414.75", "5.5"};
  const std::vector<std::string_view> note = {"the", "sample", "was", "kept", "cold"};
  start_element(path, content, scratch, "Records");
  for (auto _ : state) {
    start_element(path, content, scratch, "Record");
    start_element(path, content, scratch, "name");
    text_run(content, name);
    end_element(path, content);
    content.set_slot_counter(1);
    start_element(path, content, scratch, "DataVector");
    text_run(content, vector);
    end_element(path, content);
    content.advance_slot_counter();
    start_element(path, content, scratch, "note");
    text_run(content, note);
    end_element(path, content);
    content.advance_slot_counter();
    end_element(path, content);
  }
  out.flush();
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(sink.bytes));
}
BENCHMARK(BM_WriteRecords);

// A path of 25 open elements: every statement writes all of it.
void BM_WriteDeepPaths(benchmark::State& state) {
  xml2slist::bench::NullSink sink;
  xml2slist::OutputStream out(sink);
  ElementPath path(out);
  ContentOutput content(out, path);
  std::string scratch;
  const std::vector<std::string_view> word = {"leaf"};
  start_element(path, content, scratch, "Tree");
  for (auto _ : state) {
    for (int level = 0; level < 25; ++level) {
      start_element(path, content, scratch, "level");
      text_run(content, word);
    }
    for (int level = 0; level < 25; ++level) end_element(path, content);
  }
  out.flush();
  state.SetItemsProcessed(state.iterations() * 25);
  state.SetBytesProcessed(static_cast<std::int64_t>(sink.bytes));
}
BENCHMARK(BM_WriteDeepPaths);

// 10^5 distinct member names at one level: the repeat lookups dominate.
void BM_WriteWideNames(benchmark::State& state) {
  std::vector<std::string> names;
  for (int i = 0; i < 100000; ++i) names.push_back("field" + std::to_string(i));
  xml2slist::bench::NullSink sink;
  xml2slist::OutputStream out(sink);
  ElementPath path(out);
  ContentOutput content(out, path);
  std::string scratch;
  start_element(path, content, scratch, "Wide");
  std::size_t next = 0;
  for (auto _ : state) {
    start_element(path, content, scratch, names[next]);
    end_element(path, content);
    next = (next + 7919) % names.size();
  }
  out.flush();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteWideNames);

}  // namespace
