#pragma once

#include <cstddef>

#include "output/output_stream.h"

namespace xml2slist::bench {

// Takes every byte and keeps only the count, so that benchmarks of the
// writers measure the writers and not a destination.
class NullSink final : public ByteSink {
 public:
  bool write(const char*, std::size_t size) override {
    bytes += size;
    return true;
  }
  bool is_terminal() const override { return false; }
  std::size_t bytes = 0;
};

}  // namespace xml2slist::bench
