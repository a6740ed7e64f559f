// A document's distinct shingles gathered while it is read, a window of
// words at a time, against those of the whole text read at once.
#include <random>

#include "core/charset.h"
#include "core/document.h"
#include "support/test_support.h"

namespace {

// Words from a vocabulary of `distinct` words (Cyrillic ones among them),
// so that shingles repeat across the reading windows; 2.5 windows long.
std::string Text(unsigned distinct, unsigned seed) {
  std::mt19937 random(seed);
  std::string text;
  const size_t words = TextWords::kStreamWords * 5 / 2;
  for (size_t i = 0; i < words; ++i) {
    unsigned rank = static_cast<unsigned>(random() % distinct) + 1;
    const char first = rank % 7 == 0 ? '\xC0' : 'a';  // a Windows-1251 capital
    for (; rank != 0; rank /= 26) text += static_cast<char>(first + rank % 26);
    text += i % 17 == 0 ? ",\n" : " ";
  }
  return text;
}

// Fed in uneven pieces, as a file is read.
std::vector<Digest> Streamed(const std::string& text, const TextOptions& options, int n) {
  TextWords words(options);
  ShingleStream stream(n);
  words.StreamTo([&](const TextWords& read, bool) { return stream.Take(read); });
  for (size_t at = 0; at < text.size(); at += 40009)
    words.Feed(text.data() + at, std::min<size_t>(40009, text.size() - at));
  words.Finish();
  std::vector<Digest> digests;
  stream.ForEachBlock([&](const Digest* block, size_t count) {
    digests.insert(digests.end(), block, block + count);
  });
  EXPECT_EQ(digests.size(), stream.size());
  return digests;
}

// Few distinct words repeat single words and shingles across every window
// end; many give more distinct pairs than one block holds. The same digests
// come in the order of their first occurrence, in Windows-1251 and UTF-8,
// with shifts 1 and 2 (a shingle may then start past the words held).
TEST(ShingleStream, SameDistinctShinglesInTheSameOrderAsTheWholeText) {
  for (unsigned distinct : {3u, 40000u}) {
    const std::string cp1251 = Text(distinct, distinct);
    for (const std::string& text : {cp1251, Cp1251ToUtf8(cp1251)}) {
      for (int shift : {1, 2}) {
        for (int n : {1, 2, 5}) {
          SCOPED_TRACE(testing::Message() << distinct << " words, shift " << shift << ", n " << n
                                          << (text.size() != cp1251.size() ? ", UTF-8" : ""));
          TextOptions options;
          options.shingle_shift = shift;
          const std::vector<Digest> whole = DistinctShingles(WordsOf(text, options), n);
          ASSERT_GT(whole.size(), distinct > 3 && n > 1 ? size_t{1} << 16 : 0);
          ASSERT_TRUE(Streamed(text, options, n) == whole);
        }
      }
    }
  }
}

}  // namespace
