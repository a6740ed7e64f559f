// The chains file (tessel.chains): the protected-only units read back as
// written, with their files, and bytes that are not such a file refused.
#include "core/chain_units.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/text_words.h"

namespace {

Digest DigestOf(unsigned char first, unsigned char second = 0) {
  Digest digest{};
  digest.bytes[0] = first;
  digest.bytes[1] = second;
  return digest;
}

TEST(ChainUnits, KeepOnlyProtectedOnlyRecordsAndReadBackWithTheirFiles) {
  FlatSet protected_set, unprotected_set;
  protected_set.digests = {DigestOf(1), DigestOf(2), DigestOf(2), DigestOf(3), DigestOf(9, 9)};
  protected_set.files = {0, 0, 1, 1, 7};
  unprotected_set.digests = {DigestOf(2), DigestOf(4)};
  const FlatSet only = ProtectedOnly(protected_set, unprotected_set);
  ASSERT_EQ(only.digests, (std::vector<Digest>{DigestOf(1), DigestOf(3), DigestOf(9, 9)}));
  EXPECT_EQ(only.files, (std::vector<uint32_t>{0, 1, 7}));

  const std::string bytes = FormatChainUnits(4, only);
  EXPECT_EQ(bytes.size() % 16, 0u);
  FlatSet read;
  int32_t words = 0;
  std::string error;
  ASSERT_TRUE(ParseChainUnits(bytes, words, read, error)) << error;
  EXPECT_EQ(words, 4);
  EXPECT_EQ(read.digests, only.digests);
  EXPECT_EQ(read.files, only.files);

  // Cut short, another magic, records out of order: refused with a reason.
  EXPECT_FALSE(ParseChainUnits(bytes.substr(0, bytes.size() - 16), words, read, error));
  EXPECT_EQ(error, "its size does not fit its header");
  std::string other = bytes;
  other[0] = 'X';
  EXPECT_FALSE(ParseChainUnits(other, words, read, error));
  std::string swapped = bytes;
  std::swap_ranges(swapped.begin() + 32, swapped.begin() + 48, swapped.begin() + 48);
  EXPECT_FALSE(ParseChainUnits(swapped, words, read, error));
  EXPECT_EQ(error, "its digests are out of order");
}

// The sieve a training drops the unprotected side's shorter units with never
// drops one the protected side holds, and lets few others through.
TEST(ChainUnits, SieveKeepsEveryDigestOfItsSetAndFewOthers) {
  std::vector<Digest> held, other;
  for (int k = 0; k < 2000; ++k) {
    Digest digest{};
    for (int b = 0; b < 16; ++b) digest.bytes[b] = static_cast<unsigned char>((k * 2654435761u) >> (b % 4 * 8) ^ b * 37);
    digest.bytes[8] = static_cast<unsigned char>(k);
    digest.bytes[9] = static_cast<unsigned char>(k >> 8);
    (k % 2 == 0 ? held : other).push_back(digest);
  }
  const DigestSieve sieve(held);
  for (const Digest& digest : held) EXPECT_TRUE(sieve.MayHold(digest));
  size_t passed = 0;
  for (const Digest& digest : other) passed += sieve.MayHold(digest);
  EXPECT_LT(passed, other.size() / 5);
  EXPECT_FALSE(DigestSieve({}).MayHold(held[0]));
}

std::vector<Digest> UnitsOf(const std::string& text, int words, int32_t shift = 1) {
  TextOptions options;
  options.shingle_shift = shift;
  TextWords read(options);
  read.Feed(text.data(), text.size());
  read.Finish();
  std::vector<Digest> units;
  UnitIdentities(read, words, units);
  return units;
}

// A unit's identity depends on its words and their order alone: the same
// words anywhere give the same identity, other words or another order (or
// a word cut elsewhere) another; one unit every shift words, as shingles.
TEST(ChainUnits, UnitIdentitiesFollowTheWordsInTheirOrder) {
  // Words 0-3 again at 4-7, then the same words in other orders, a word
  // that joins two, and words longer than 8 bytes.
  const std::vector<Digest> units =
      UnitsOf("alpha beta gamma delta alpha beta gamma delta beta alpha gamma delta "
              "alphabeta gamma delta extraordinarily longwordsherefor ", 4);
  ASSERT_EQ(units.size(), 14u);
  EXPECT_EQ(units[0], units[4]);
  std::vector<Digest> sorted = units;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()) - sorted.begin(), 13);
  const std::vector<Digest> halves = UnitsOf("alpha beta gamma delta alpha beta gamma delta ", 4, 2);
  ASSERT_EQ(halves.size(), 3u);
  EXPECT_EQ(halves[0], units[0]);
  EXPECT_EQ(halves[2], units[0]);
  EXPECT_FALSE(halves[1] == units[0]);
  EXPECT_TRUE(UnitsOf("alpha beta gamma ", 4).empty());
  // One unit at a time, as a judging asks for them: the same identities.
  TextOptions options;
  TextWords read(options);
  const std::string text = "one two three four five six seven eight ";
  read.Feed(text.data(), text.size());
  read.Finish();
  const UnitHasher hasher(read, 3);
  const std::vector<Digest> whole = UnitsOf(text, 3);
  ASSERT_EQ(hasher.count(), whole.size());
  for (size_t k = 0; k < whole.size(); ++k) EXPECT_EQ(hasher.At(k), whole[k]) << k;
}

}  // namespace
