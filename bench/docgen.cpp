// Writes one benchmark document.
//
//   xml2slist_docgen FAMILY SIZE OUTPUT
//
// FAMILY is one of records, deep, wide, ids, colliding, dense, idrecords, text, huge. SIZE is a byte
// count with an optional K or M suffix (powers of 1000, so "10M" is ten
// million bytes). OUTPUT is a file name, or "-" for standard output.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "documents.h"

namespace {

bool parse_size(const char* text, std::size_t& size) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text) return false;
  unsigned long long scale = 1;
  if (*end == 'K' || *end == 'k') {
    scale = 1000;
    ++end;
  } else if (*end == 'M' || *end == 'm') {
    scale = 1000 * 1000;
    ++end;
  }
  if (*end != '\0') return false;
  size = static_cast<std::size_t>(value * scale);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t size = 0;
  if (argc != 4 || !parse_size(argv[2], size) || !xml2slist::bench::is_family(argv[1])) {
    std::fprintf(stderr, "usage: %s records|deep|wide|ids|colliding|dense|idrecords|text|huge SIZE[K|M] OUTPUT|-\n", argv[0]);
    return 2;
  }
  const bool to_stdout = std::strcmp(argv[3], "-") == 0;
  std::FILE* file = to_stdout ? stdout : std::fopen(argv[3], "wb");
  if (!file) {
    std::perror(argv[3]);
    return 1;
  }
  bool written;
  {
    xml2slist::bench::Writer out(file);
    xml2slist::bench::write_family(argv[1], size, out);
    written = out.flush();
  }
  written = (to_stdout ? std::fflush(file) == 0 : std::fclose(file) == 0) && written;
  if (!written) {
    std::perror(argv[3]);
    return 1;
  }
  return 0;
}
