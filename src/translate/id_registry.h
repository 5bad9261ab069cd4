#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xml2slist {

// The set of Id values met so far. A document may hold millions of them, so
// the texts are packed one after another in one arena and found through an
// open-addressing table of 8-byte entries, not one heap node per value.
class IdRegistry {
 public:
  // Adds `id`; false when the same text is there already.
  bool insert(std::string_view id);
  std::size_t size() const { return count_; }

 private:
  static constexpr int tag_bits = 24;
  static constexpr std::uint64_t tag_mask = (std::uint64_t{1} << tag_bits) - 1;

  static std::size_t hash(std::string_view text);
  std::string_view text_at(std::uint64_t offset) const;
  void place(std::uint64_t entry, std::size_t hashed);
  void grow();

  std::string arena_;               // each text: its length as a varint, then its bytes
  std::vector<std::uint64_t> slots_;  // 0 empty, else (offset + 1) << tag_bits | hash tag
  std::size_t count_ = 0;
};

}  // namespace xml2slist
