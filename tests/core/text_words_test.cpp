#include "core/text_words.h"

#include <random>

#include "core/word_digests.h"
#include "support/test_support.h"

namespace {

// Words are digested once per distinct text and reused where they repeat:
// every digest must still be the MD5 of its own word, over a long text of
// frequent and rare words whose table search sometimes gives up.
TEST(TextWords, EveryWordGetsItsOwnDigest) {
  std::mt19937 random(3);
  std::string text;
  for (int i = 0; i < 60000; ++i) {
    for (unsigned rank = random() % (i % 2 ? 50 : 40000) + 1; rank != 0; rank /= 26)
      text += static_cast<char>('a' + rank % 26);
    text += ' ';
  }
  for (int shift : {1, 3}) {
    TextOptions options;
    options.shingle_shift = shift;
    TextWords words(options);
    words.Feed(text.data(), text.size());
    words.Finish();
    std::vector<Digest> digests, neighbours, pairs;
    words.HashShingles(1, digests);
    words.HashNeighbours(neighbours, pairs);
    ASSERT_EQ(digests.size(), (words.size() - 1) / shift + 1);
    for (size_t k = 0; k < digests.size(); ++k)
      ASSERT_EQ(digests[k], Md5Of(words.Word(k * shift))) << k;
    for (size_t k = 0; k < neighbours.size(); ++k) ASSERT_EQ(neighbours[k], Md5Of(words.Word(k)));
  }
}

}  // namespace
