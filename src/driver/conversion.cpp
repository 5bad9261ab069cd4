#include "driver/conversion.h"

#include <cstring>
#include <new>
#include <memory>

#include "output/reporter.h"
#include "output/run_end.h"
#include "parser/document_actions.h"
#include "parser/parse_engine.h"
#include "scanner/scanner.h"
#include "scanner/text_mode_reader.h"
#include "translate/r_code.h"
#include "translate/translator.h"

namespace xml2slist {

namespace {
// What an error report quotes, from the scanner.
class ScannerPosition final : public ReadPosition {
 public:
  explicit ScannerPosition(const Scanner& scanner) : scanner_(scanner) {}
  std::int64_t line_number() const override { return scanner_.line_number(); }
  std::string_view read_ahead_text() const override { return scanner_.token_text(); }

 private:
  const Scanner& scanner_;
};
}  // namespace

int Conversion::convert(const char* yydebug) {
  TextModeReader reader(input_);
  Scanner scanner(reader, memory_);
  const ScannerPosition position(scanner);
  Reporter reporter(out_, err_, position);
  std::unique_ptr<RCode> r_code;  // on the heap: the stack of a run stays small
  if (target_ == Target::r_code) {
    r_code = std::make_unique<RCode>(out_);
    reporter.set_status_writer([&r_code](std::string_view status) { r_code->write_status(status); });
    yydebug = nullptr;  // trace lines are no R code
  }
  Translator translator(out_, reporter, r_code.get());
  reporter.set_before_status([&translator] { translator.content.complete_open_slot(); });
  DocumentActions actions(translator, reporter);
  ParseEngine<Scanner, DocumentActions> engine(scanner, actions, out_);
  // Trace lines show every step, so there an Id is checked where it is read.
  translator.attributes.let_id_checks_wait(trace_level_of(yydebug) == 0);
  // An Id waiting past its tag is checked before any output it could take
  // back is handed on; the check goes with the translation.
  out_.set_before_flush([&translator] { translator.attributes.check_waiting_id(); });
  const struct Unhook {
    OutputStream& out;
    ~Unhook() { out.set_before_flush(nullptr); }
  } unhook{out_};
  if (r_code) r_code->begin();
  int parsed;
  try {
    try {
      parsed = engine.parse_document(yydebug);
    } catch (...) {  // a fatal scanner error or a failed allocation ends the run early
      translator.attributes.check_waiting_id();
      throw;
    }
    translator.attributes.check_waiting_id();
  } catch (const std::bad_alloc&) {
    throw;  // the R code may have stopped inside a text: nothing more is written
  } catch (...) {
    // The R code still builds what the document gave so far; should that
    // fail too, the first failure is the one told.
    if (r_code) {
      try {
        r_code->finish();
      } catch (...) {
      }
    }
    throw;
  }
  if (r_code) r_code->finish();
  return parsed != 0 || reporter.error_seen() ? 1 : 0;
}

int Conversion::run(const char* yydebug) {
  int status;
  try {
    status = convert(yydebug);
  } catch (const RunEnd& end) {
    status = end.status;
  } catch (const ScannerFatal& fatal) {
    err_ << fatal.what() << '\n';
    status = 2;
  } catch (const OutputFailure&) {
    status = 2;  // reported below, when the flush fails again
  } catch (const std::bad_alloc&) {
    err_ << program_name_ << ": out of memory\n";
    status = 2;
  }
  // Whatever was printed before the end reaches its stream.
  try {
    out_.flush();
  } catch (const OutputFailure& failure) {
    err_ << program_name_ << ": Can't write standard output: " << std::strerror(failure.error) << '\n';
    status = 2;
  }
  err_.flush();
  return status;
}

ConversionResult convert_document(std::string_view document, const char* yydebug, const BufferMemory& memory,
                                  Target target) {
  MemorySource source(document);
  StringSink out_sink, err_sink;
  OutputStream out(out_sink), err(err_sink, false);
  const int status = Conversion(source, out, err, "xml2slist", memory, target).run(yydebug);
  return {status, std::move(out_sink.text), std::move(err_sink.text)};
}

}  // namespace xml2slist
