#include "core/text_words.h"

#include <random>

#include "core/document.h"
#include "core/word_digests.h"
#include "support/test_support.h"
#include "support/text_reading.h"

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
    const TextWords words = WordsOf(text, options);
    std::vector<Digest> digests, neighbours, pairs;
    words.HashShingles(1, digests);
    words.HashNeighbours(neighbours, pairs);
    ASSERT_EQ(digests.size(), (words.size() - 1) / shift + 1);
    for (size_t k = 0; k < digests.size(); ++k)
      ASSERT_EQ(digests[k], Md5Of(words.Word(k * shift))) << k;
    for (size_t k = 0; k < neighbours.size(); ++k) ASSERT_EQ(neighbours[k], Md5Of(words.Word(k)));
  }
}

// A word keeps its first kMaxWordBytes letters, however it is read and fed;
// the rest is passed over, and the words after it, the word's place in the
// text and its end there stay as they were.
TEST(TextWords, LongWordsKeepTheirFirstBytes) {
  constexpr size_t kCap = TextWords::kMaxWordBytes;
  const std::string kept(kCap, 'q'), ascii = "ab " + std::string(kCap + 5000, 'q') + " cd ";
  // The same in UTF-8: Cyrillic letters of two bytes each, the long word
  // after a multi-byte character so that auto reads UTF-8 from its start.
  std::string cyrillic = "\xd0\xb1 ";
  for (size_t i = 0; i < kCap + 5000; ++i) cyrillic += "\xd0\xb0";
  cyrillic += " \xd0\xb2 ";
  const struct {
    std::string text;
    TextEncoding encoding;
    std::string word;
    size_t end;
  } cases[] = {{ascii, TextEncoding::kCp1251, kept, 3 + kCap + 5000},
               {ascii + "\xd0\xb0 ", TextEncoding::kAuto, kept, 3 + kCap + 5000},
               {cyrillic, TextEncoding::kUtf8, std::string(kCap, '\xc0'), 3 + 2 * (kCap + 5000)}};
  for (const auto& c : cases) {
    for (size_t piece : {size_t{4095}, kCap - 1, c.text.size()}) {
      const Read read = ReadText(c.text, c.encoding, piece);
      ASSERT_GE(read.words.size(), 3u) << piece;
      EXPECT_TRUE(read.words[1] == c.word) << piece;
      EXPECT_EQ(read.words[2].size(), c.encoding == TextEncoding::kUtf8 ? 1u : 2u) << piece;
      EXPECT_EQ(read.places[1], std::make_pair(size_t{3}, c.end)) << piece;
      EXPECT_EQ(read.places[2].first, c.end + 1) << piece;
    }
  }
}

// A document that cannot be read is judged on what was read, and the
// failure says why; an unusable shift is refused before anything is read.
TEST(ReadDocument, SaysWhyAndHowItFailed) {
  TempDir dir;
  TextWords words{TextOptions()};
  const Status missing = ReadDocument(dir / "missing.txt", words);
  EXPECT_EQ(missing.code(), StatusCode::kNotFound);
  EXPECT_EQ(missing.message(), "No such file or directory");
  EXPECT_EQ(ReadDocument(dir.path(), words).code(), StatusCode::kIoError);
  WriteFile(dir / "a.txt", "alpha beta\n");
  EXPECT_TRUE(ReadDocument(dir / "a.txt", words).ok());
  EXPECT_EQ(words.size(), 2u);
  TextOptions unusable;
  unusable.shingle_shift = 0;
  TextWords refused(unusable);
  const Status shift = ReadDocument(dir / "a.txt", refused);
  EXPECT_EQ(shift.code(), StatusCode::kInvalidArgument);
  EXPECT_EQ(shift.message(), "shingle shift must be at least 1, not 0; no shingles built");
  EXPECT_EQ(refused.size(), 0u);
}

}  // namespace
