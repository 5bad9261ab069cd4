#pragma once

#include <string>
#include <string_view>

#include "output/output_stream.h"
#include "scanner/byte_source.h"
#include "scanner/scan_buffer.h"

namespace xml2slist {

// What a conversion writes: the S statements of xml2slist, or the R code of xml2r.
enum class Target { s_statements, r_code };

// One whole conversion of a document, from its bytes to the exit status,
// without ending the process. The program name must outlive it.
class Conversion {
 public:
  Conversion(ByteSource& input, OutputStream& out, OutputStream& err, std::string_view program_name,
             const BufferMemory& memory = platform_memory(), Target target = Target::s_statements)
      : input_(input), out_(out), err_(err), program_name_(program_name), memory_(memory), target_(target) {}

  // Converts the document and flushes both streams; returns the exit status
  // (0, 1 or 2). `yydebug` is the trace switch's value, or null when unset.
  int run(const char* yydebug);

 private:
  int convert(const char* yydebug);

  ByteSource& input_;
  OutputStream& out_;
  OutputStream& err_;
  std::string_view program_name_;  // the caller's: a copy could fail for want of memory
  const BufferMemory& memory_;
  Target target_;
};

// Converts in memory: the whole run as the program would do it on `document`.
struct ConversionResult {
  int status;
  std::string out;
  std::string err;
};
ConversionResult convert_document(std::string_view document, const char* yydebug = nullptr,
                                  const BufferMemory& memory = platform_memory(),
                                  Target target = Target::s_statements);

}  // namespace xml2slist
