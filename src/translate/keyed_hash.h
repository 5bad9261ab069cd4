#pragma once

#include <bit>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "translate/word_loads.h"

#include <fcntl.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/random.h>
#endif


namespace xml2slist {

// The secret of the hash of document texts: whoever does not know it cannot
// write texts that pile up in one place of a table.
struct HashKey {
  std::uint64_t k0 = 0;
  std::uint64_t k1 = 0;
};

namespace keyed_hash_detail {

inline std::uint64_t load_le64(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

inline std::uint32_t load_le32(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
  return word;
}

// Fills `bytes` from the system's random source; false when none answered in full.
inline bool read_random(void* bytes, std::size_t size) {
  auto* at = static_cast<unsigned char*>(bytes);
#if defined(__linux__)
  // GRND_NONBLOCK: early in boot the pool may not be ready, and the file below
  // answers without waiting.
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = getrandom(at + got, size - got, GRND_NONBLOCK);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  if (got == size) return true;
#endif
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::size_t got_from_file = 0;
  while (got_from_file < size) {
    const ssize_t n = ::read(fd, at + got_from_file, size - got_from_file);
    if (n > 0) {
      got_from_file += static_cast<std::size_t>(n);
    } else if (!(n < 0 && errno == EINTR)) {
      break;
    }
  }
  ::close(fd);
  return got_from_file == size;
}

// A 64-bit finaliser, used only to stir the fallback key.
inline std::uint64_t mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

inline HashKey draw_key() {
  HashKey key;
  const int saved_errno = errno;
  if (!read_random(&key, sizeof key)) {
    // No random source (a jail without /dev, an old kernel): the clock, the
    // process id and where the stack and the code were placed still differ
    // from run to run, which is better than a key every copy shares.
    const int on_stack = 0;
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const auto wall = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    key.k0 ^= mix(now ^ reinterpret_cast<std::uintptr_t>(&on_stack));
    key.k1 ^= mix(wall ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^
                  reinterpret_cast<std::uintptr_t>(&draw_key));
  }
  errno = saved_errno;
  return key;
}

// The state of SipHash with one compression round per word and three
// finalisation rounds (SipHash-1-3).
class SipState {
 public:
  explicit SipState(const HashKey& key)
      : v0_(key.k0 ^ 0x736f6d6570736575ull),
        v1_(key.k1 ^ 0x646f72616e646f6dull),
        v2_(key.k0 ^ 0x6c7967656e657261ull),
        v3_(key.k1 ^ 0x7465646279746573ull) {}

  void absorb(std::uint64_t word) {
    v3_ ^= word;
    round();
    v0_ ^= word;
  }
  std::uint64_t finish() {
    v2_ ^= 0xff;
    round();
    round();
    round();
    return v0_ ^ v1_ ^ v2_ ^ v3_;
  }

 private:
  void round() {
    v0_ += v1_;
    v1_ = std::rotl(v1_, 13);
    v1_ ^= v0_;
    v0_ = std::rotl(v0_, 32);
    v2_ += v3_;
    v3_ = std::rotl(v3_, 16);
    v3_ ^= v2_;
    v0_ += v3_;
    v3_ = std::rotl(v3_, 21);
    v3_ ^= v0_;
    v2_ += v1_;
    v1_ = std::rotl(v1_, 17);
    v1_ ^= v2_;
    v2_ = std::rotl(v2_, 32);
  }

  std::uint64_t v0_, v1_, v2_, v3_;
};

}  // namespace keyed_hash_detail

// The key of this process, drawn once from the system's random source.
inline const HashKey& process_hash_key() {
  static const HashKey key = keyed_hash_detail::draw_key();
  return key;
}

// SipHash-1-3 of `text` under `key`. The last zero to seven bytes are read
// without a byte loop: for a text of eight bytes or more, as the top of the
// word that ends it; for a shorter one, as two 4-byte words that may overlap,
// or as its first, middle and last byte.
inline std::uint64_t keyed_hash(const HashKey& key, std::string_view text) {
  using namespace keyed_hash_detail;
  const char* p = text.data();
  const std::size_t size = text.size();
  SipState state(key);
  std::uint64_t last;
  if (size >= 8) {
    const char* const end = p + size;
    for (std::size_t words = size / 8; words != 0; --words, p += 8) state.absorb(load_le64(p));
    // The last word's top (size % 8) bytes are the ones after the whole words;
    // two shifts, as one of 64 bits is undefined.
    last = (load_le64(end - 8) >> (63 - 8 * (size % 8))) >> 1;
  } else if (size >= 4) {
    last = std::uint64_t{load_le32(p)} | std::uint64_t{load_le32(p + size - 4)} << (8 * (size - 4));
  } else if (size != 0) {
    const auto byte = [p](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i); };
    last = byte(0) | byte(size / 2) | byte(size - 1);
  } else {
    last = 0;
  }
  state.absorb(last | std::uint64_t{size} << 56);
  return state.finish();
}

// A hash of a few multiplies for the short texts of names and Id values,
// eight bytes at a time. The key makes its values differ from run to run, but
// it is no defence: flipping the top bit of one word and two bits of the next
// gives texts that share a hash under every key. A table hashing with it must
// watch the length of its searches and change to keyed_hash() when they grow.
inline std::uint64_t quick_keyed_hash(const HashKey& key, std::string_view text) {
  constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15ull;
  const char* p = text.data();
  std::size_t left = text.size();
  std::uint64_t h = ((left + 1) * multiplier) ^ key.k0;
  while (left >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    h = (h ^ word) * multiplier;
    h ^= h >> 32;
    p += 8;
    left -= 8;
  }
  // The last one to seven bytes without a variable-length copy: two 4-byte
  // reads that may overlap, or the first, middle and last byte (the length
  // is mixed in already, so overlaps cannot make two texts alike).
  if (left >= 4) {
    const WordEnds<std::uint32_t> ends = load_word_ends<std::uint32_t>(p, left);
    h = (h ^ (std::uint64_t{ends.head} << 32 | ends.tail)) * multiplier;
  } else if (left != 0) {
    const auto byte = [p](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
    h = (h ^ (byte(0) << 16 | byte(left / 2) << 8 | byte(left - 1))) * multiplier;
  }
  h ^= key.k1;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

}  // namespace xml2slist
