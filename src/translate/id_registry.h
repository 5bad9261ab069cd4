#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace xml2slist {

// The set of Id values met so far. A document may hold millions of them, so
// the texts are packed one after another in fixed chunks (which never move)
// and found through an open-addressing table of 8-byte entries, not one heap
// node per value. An entry keeps enough of its text's hash to be placed again
// when the table grows, so growing never reads the texts.
class IdRegistry {
 public:
  // Adds `id`; false when the same text is there already.
  bool insert(std::string_view id);
  std::size_t size() const { return count_; }

 private:
  static constexpr int hash_bits = 29;
  static constexpr std::uint64_t hash_mask = (std::uint64_t{1} << hash_bits) - 1;
  static constexpr int chunk_bits = 16;
  static constexpr std::size_t chunk_size = std::size_t{1} << chunk_bits;
  // Positions must fit the entry's bits above the hash.
  static constexpr std::uint64_t max_chunks = std::uint64_t{1} << (64 - hash_bits - chunk_bits - 1);

  std::string_view text_at(std::uint64_t position) const;
  std::uint64_t store(std::string_view id);
  void grow();

  std::vector<std::unique_ptr<char[]>> chunks_;  // each text: its length as a varint, then its bytes
  std::size_t chunk_used_ = chunk_size;          // bytes taken in the last chunk
  std::vector<std::uint64_t> slots_;  // 0 empty, else (position + 1) << hash_bits | low hash bits
  std::size_t count_ = 0;
};

}  // namespace xml2slist
