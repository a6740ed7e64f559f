#include "core/digest_table.h"

#include <set>
#include <random>

#include "core/document.h"
#include "core/word_digests.h"
#include "support/test_support.h"

namespace {

// Digests crowded onto the last slots wrap round to the first; each keeps
// its own position, and equal digests find the first one entered.
TEST(DigestTable, CrowdedSlotsWrapAndKeepPositions) {
  std::vector<Digest> entered;
  std::vector<uint32_t> positions;
  DigestTable table;
  table.Reset(40);
  for (int i = 0; i < 60; ++i) {
    Digest digest{};
    std::fill(digest.bytes, digest.bytes + 8, 0xFF);  // every key wants the last slot
    digest.bytes[15] = static_cast<unsigned char>(i % 40);
    const uint32_t next = static_cast<uint32_t>(entered.size());
    const uint32_t at = table.Enter(digest, next, [&](uint32_t p) { return entered[p]; });
    if (at == next) entered.push_back(digest);
    positions.push_back(at);
  }
  ASSERT_EQ(entered.size(), 40u);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(positions[i], static_cast<uint32_t>(i % 40)) << i;
}

// A document's shingles each once, in the order of their first occurrence,
// over texts of a few words repeated and of many words.
TEST(DigestTable, DistinctShinglesInFirstOccurrenceOrder) {
  std::mt19937 random(5);
  for (int vocabulary : {3, 5000}) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "w" + std::to_string(random() % vocabulary) + " ";
    const TextWords words = WordsOf(text);
    std::vector<Digest> expected;
    std::set<std::string_view> seen;
    for (size_t k = 0; k + 2 <= words.size(); ++k)
      if (seen.insert(words.Span(k, 2)).second) expected.push_back(Md5Of(words.Span(k, 2)));
    EXPECT_EQ(DistinctShingles(words, 2), expected) << vocabulary;
  }
}

}  // namespace
