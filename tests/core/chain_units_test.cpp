// The chains file (tessel.chains): the protected-only units read back as
// written, with their files, and bytes that are not such a file refused.
#include "core/chain_units.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>

#include "core/model_description.h"
#include "core/text_words.h"
#include "core/trainer.h"
#include "support/test_support.h"

namespace {

TEST(ChainUnits, KeepOnlyProtectedOnlyRecordsAndReadBackWithTheirFiles) {
  FlatSet protected_set, unprotected_set;
  protected_set.ids = {1, 2, 2, 3, 0x9009000000000000};
  protected_set.files = {0, 0, 1, 1, 7};
  unprotected_set.ids = {2, 4};
  const FlatSet only = ProtectedOnly(protected_set, unprotected_set);
  ASSERT_EQ(only.ids, (std::vector<uint64_t>{1, 3, 0x9009000000000000}));
  EXPECT_EQ(only.files, (std::vector<uint32_t>{0, 1, 7}));

  // Three units: the identities and the file indexes each padded to 16 bytes.
  const std::string bytes = FormatChainUnits(4, only);
  EXPECT_EQ(bytes.size(), 32u + 32 + 16);
  EXPECT_EQ(bytes.substr(32, 8), std::string("\1\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(ChainsFileBytes(4, only).bytes, bytes.size());
  FlatSet read;
  int32_t words = 0;
  std::string error;
  ASSERT_TRUE(ParseChainUnits(bytes, words, read, error)) << error;
  EXPECT_EQ(words, 4);
  EXPECT_EQ(read.ids, only.ids);
  EXPECT_EQ(read.files, only.files);

  // A save writes the pieces as they are joined, small ones (buffered) and
  // ones large enough to be written straight from the units.
  FlatSet many;
  for (uint32_t k = 0; k < 10001; ++k) {
    many.ids.push_back(uint64_t{k} * 0x10000000001ULL);
    many.files.push_back(k % 5);
  }
  for (const FlatSet* units : std::initializer_list<const FlatSet*>{&only, &many}) {
    TempDir dir;
    const ChainsFileBytes file(4, *units);
    const SetFileContent content{dir / kChainsFile, nullptr, file.bytes, file.pieces};
    ASSERT_TRUE(SaveSetFilesTogether({content}, std::cerr).ok());
    const std::string joined = FormatChainUnits(4, *units);
    EXPECT_EQ(ReadFile(dir / kChainsFile), joined);
    EXPECT_EQ(file.checksum, FileChecksum(joined));
  }

  // Cut short, another magic, the version before, records out of order:
  // refused with a reason.
  const auto refusal = [&](const std::string& changed) {
    return ParseChainUnits(changed, words, read, error) ? std::string("read") : error;
  };
  EXPECT_EQ(refusal(bytes.substr(0, bytes.size() - 16)), "its size does not fit its header");
  std::string other = bytes, older = bytes, swapped = bytes;
  other[0] = 'X';
  EXPECT_NE(refusal(other), "read");
  older[8] = 2;
  EXPECT_EQ(refusal(older), "it is of another version, 2");
  std::swap_ranges(swapped.begin() + 32, swapped.begin() + 40, swapped.begin() + 40);
  EXPECT_EQ(refusal(swapped), "its digests are out of order");
}

// The sieve a training drops the unprotected side's shorter units with never
// drops one the protected side holds, and lets few others through.
TEST(ChainUnits, SieveKeepsEveryUnitOfItsSetAndFewOthers) {
  std::vector<uint64_t> held, other;
  for (uint64_t k = 0; k < 4000; ++k)
    (k % 2 == 0 ? held : other).push_back(k * 0x9e3779b97f4a7c15ULL);
  const UnitSieve sieve(held);
  for (const uint64_t id : held) EXPECT_TRUE(sieve.MayHold(id));
  size_t passed = 0;
  for (const uint64_t id : other) passed += sieve.MayHold(id);
  EXPECT_LT(passed, other.size() / 5);
  EXPECT_FALSE(UnitSieve({}).MayHold(held[0]));
}

std::vector<Digest> UnitsOf(const std::string& text, int words, int32_t shift = 1) {
  TextOptions options;
  options.shingle_shift = shift;
  std::vector<Digest> units;
  UnitIdentities(WordsOf(text, options), words, units);
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
  const std::string text = "one two three four five six seven eight ";
  const TextWords read = WordsOf(text);
  const UnitHasher hasher(read, 3);
  const std::vector<Digest> whole = UnitsOf(text, 3);
  ASSERT_EQ(hasher.count(), whole.size());
  for (size_t k = 0; k < whole.size(); ++k) EXPECT_EQ(hasher.At(k), whole[k]) << k;
  // A unit's digest holds its 64-bit identity, and digests sort as their
  // identities do.
  for (size_t k = 0; k < whole.size(); ++k) {
    EXPECT_EQ(UnitIdOf(whole[k]), hasher.IdAt(k));
    EXPECT_EQ(whole[0] < whole[k], hasher.IdAt(0) < hasher.IdAt(k));
  }
}

// A training that keeps the units' identities only (8 bytes a record) gives
// the records of a training of their digests: in order, one a file holding
// the unit, in file order.
TEST(ChainUnits, TrainingKeepsIdentitiesInTheOrderOfDigests) {
  TempDir dir;
  std::vector<std::string> names;
  for (int f = 0; f < 3; ++f) {
    std::string text;
    // The same 1,500 units in every file, begun at another place.
    for (int w = 0; w < 3000; ++w) {
      const int n = (w * 7 + f * 500) % 1500;
      for (const int letter : {0, n % 26, n / 26 % 26, n / 676})
        text += static_cast<char>('a' + letter);
      text += " ";
    }
    names.push_back(dir / ("f" + std::to_string(f)));
    WriteFile(names.back(), text);
  }
  FlatSet sets[2];
  for (const bool ids : {false, true}) {
    std::ostringstream messages;
    Trainer trainer({4}, false, TextOptions(), messages, 2);
    trainer.IdentifyWith(4, UnitIdentities);
    trainer.KeepFiles(4);
    if (ids) trainer.KeepIds(4);
    EXPECT_EQ(trainer.AddFiles(names, [](const std::string&) {}), names.size());
    sets[ids] = std::move(trainer.Finish()[0]);
  }
  ASSERT_TRUE(sets[1].digests.empty());
  ASSERT_EQ(sets[1].ids.size(), sets[0].digests.size());
  ASSERT_GT(sets[1].ids.size(), 2000u);
  for (size_t k = 0; k < sets[1].ids.size(); ++k)
    ASSERT_EQ(UnitDigest(sets[1].ids[k]), sets[0].digests[k]) << k;
  EXPECT_EQ(sets[1].files, sets[0].files);
}

}  // namespace
