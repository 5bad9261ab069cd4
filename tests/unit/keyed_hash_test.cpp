#include "translate/keyed_hash.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace xml2slist {
namespace {

// SipHash-1-3 values from an independent implementation: the string hash of
// CPython 3.11, whose key is all zero under PYTHONHASHSEED=0 and, under
// PYTHONHASHSEED=1, the bytes its seeding generator gives. Every way the
// last bytes are read is here: one to three, four to seven, whole words
// with and without a remainder.
TEST(KeyedHash, GivesTheValuesOfSipHash13) {
  struct Case {
    std::string_view text;
    std::uint64_t under_zero_key;
    std::uint64_t under_seed_one_key;
  };
  const Case cases[] = {
      {"a", 0x407448d2b89b1813ull, 0xd6300bc9f7cc0e73ull},
      {"Id", 0x46b83a6aabf254e3ull, 0x2fddf75c93cdba8bull},
      {"\"k\"", 0xf834dda1cd36398aull, 0x30818e1ac933ed85ull},
      {"name", 0xa8ff84c12d48cfa6ull, 0x075b35b754b4c68dull},
      {"field", 0xe0f35d825088c098ull, 0xbe9916244f8a9531ull},
      {"abcdef", 0x62207e654289df28ull, 0x51c966b6c8a9a82full},
      {"abcdefg", 0x6db12aae9070f506ull, 0x2cc75771f0205010ull},
      {"abcdefgh", 0x3f7b849c0b8e35eaull, 0xfd3011ff3947e7f4ull},
      {"abcdefghi", 0xf89b34a3d11eb6e5ull, 0x6d3c39f07e99250cull},
      {"\"r0000001\"", 0xffb175f66c59b4cdull, 0x7f2f3965822faac9ull},
      {"\"k00012345678\"", 0x3f29894dd44e24a9ull, 0xe614c927a2baa75bull},
      {"0123456789abcde", 0x26f4d862282d8fcbull, 0x40c734727b369b3cull},
      {"0123456789abcdef", 0x1d42b30f7e060c24ull, 0x32fb2aa9e1a93942ull},
      {"0123456789abcdefg", 0x3323a4f8b8d9776bull, 0x7268d1abed70cd4bull},
      {"entries of 23 bytes ...", 0xc471ecffd72e58edull, 0x02991aec26f7854full},
      {"a text of forty bytes, five words of it!", 0xc69d65bf1347e545ull, 0xe7ddf23cf09110dcull},
  };
  const HashKey zero{};
  const HashKey seed_one{0xaed66ce184be2329ull, 0xebe9bbf1f1499052ull};
  for (const Case& c : cases) {
    EXPECT_EQ(c.under_zero_key, keyed_hash(zero, c.text)) << c.text;
    EXPECT_EQ(c.under_seed_one_key, keyed_hash(seed_one, c.text)) << c.text;
  }
}

// The value depends on every byte, on the length (a text and the same with a
// NUL after it) and on every bit of the key; bytes next to the text are not read.
TEST(KeyedHash, DependsOnEveryByteTheLengthAndTheKey) {
  const HashKey key{0x0123456789abcdefull, 0xfedcba9876543210ull};
  const std::string buffer = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (std::size_t size = 0; size <= 24; ++size) {
    const std::string text = buffer.substr(0, size);
    const std::uint64_t hash = keyed_hash(key, text);
    EXPECT_EQ(hash, keyed_hash(key, std::string_view(buffer).substr(0, size))) << size;
    EXPECT_NE(hash, keyed_hash(key, text + '\0')) << size;
    for (std::size_t at = 0; at < size; ++at) {
      std::string changed = text;
      changed[at] = static_cast<char>(changed[at] ^ 0x80);
      EXPECT_NE(hash, keyed_hash(key, changed)) << size << " at " << at;
    }
    for (int bit = 0; bit < 128; ++bit) {
      HashKey other = key;
      (bit < 64 ? other.k0 : other.k1) ^= std::uint64_t{1} << (bit % 64);
      EXPECT_NE(hash, keyed_hash(other, text)) << size << " key bit " << bit;
    }
  }
}

TEST(KeyedHash, ProcessKeyIsDrawnOnceAndNotFixed) {
  const HashKey& key = process_hash_key();
  EXPECT_EQ(&key, &process_hash_key());
  EXPECT_FALSE(key.k0 == 0 && key.k1 == 0);
  // Two draws agreeing in all 128 bits would mean a source that is not random.
  const HashKey again = keyed_hash_detail::draw_key();
  EXPECT_FALSE(again.k0 == key.k0 && again.k1 == key.k1);
}

}  // namespace
}  // namespace xml2slist
