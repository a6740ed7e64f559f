#include "core/md5_lanes.h"

#define OPENSSL_SUPPRESS_DEPRECATED  // the one-shot MD5 call is the reference
#include <openssl/md5.h>

#include <random>
#include <vector>

#include "support/test_support.h"

namespace {

Digest Reference(std::string_view message) {
  Digest digest;
  MD5(reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest.bytes);
  return digest;
}

// Hashes the batch at the level (Md5Many's own choice for kChosen) and
// compares every digest with OpenSSL's; digests past the batch must stay
// untouched.
constexpr auto kChosen = static_cast<Md5Level>(-1);

void ExpectSameDigests(Md5Level level, const std::vector<std::string_view>& messages) {
  Digest sentinel;
  std::memset(sentinel.bytes, 0xa5, kDigestSize);
  std::vector<Digest> out(messages.size() + 1, sentinel);
  if (level == kChosen)
    Md5Many(messages.data(), messages.size(), out.data());
  else
    Md5ManyAt(level, messages.data(), messages.size(), out.data());
  for (size_t i = 0; i < messages.size(); ++i)
    ASSERT_EQ(out[i], Reference(messages[i])) << "message " << i << " of " << messages.size()
                                               << ", " << messages[i].size() << " bytes";
  ASSERT_EQ(out.back(), sentinel);
}

class Md5LanesTest : public testing::TestWithParam<Md5Level> {
 protected:
  void SetUp() override {
    if (!Md5LevelSupported(GetParam())) GTEST_SKIP() << "processor lacks " << Md5LevelName(GetParam());
  }
};

// Random bytes and lengths, so that lanes finish at different blocks and take
// their next message while the others go on; the messages are unaligned
// pieces of one buffer, as shingles are.
TEST_P(Md5LanesTest, RandomLengthsUpTo300) {
  std::mt19937 random(23);
  std::string buffer(1 << 16, '\0');
  for (char& byte : buffer) byte = static_cast<char>(random());
  std::vector<std::string_view> messages;
  for (int i = 0; i < 2000; ++i) {
    const size_t size = random() % 301, at = random() % (buffer.size() - size);
    messages.push_back(std::string_view(buffer).substr(at, size));
  }
  ExpectSameDigests(GetParam(), messages);
  ExpectSameDigests(GetParam(), {std::string_view(buffer)});  // 1025 blocks
}

// Every batch size from empty to past two groups of the widest lanes (32),
// each batch mixing the lengths where the padding changes: the marker and
// length fit the last block (55), push the length into a block of their own
// (56 to 63), or start a block of their own (64, 128).
void ExpectBatchSizesAndPaddingBoundaries(Md5Level level) {
  const size_t lengths[] = {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128, 129, 191, 192};
  const std::string text(200, 'x');
  for (size_t count = 0; count <= 70; ++count) {
    std::vector<std::string_view> messages;
    for (size_t i = 0; i < count; ++i) messages.push_back(std::string_view(text).substr(0, lengths[(i * 7 + count) % 16]));
    ExpectSameDigests(level, messages);
  }
  for (size_t length : lengths) {  // one length in every lane
    std::vector<std::string_view> messages(33, std::string_view(text).substr(0, length));
    ExpectSameDigests(level, messages);
  }
}

TEST_P(Md5LanesTest, BatchSizesAndPaddingBoundaries) { ExpectBatchSizesAndPaddingBoundaries(GetParam()); }

// Md5Many hands small batches to narrower lanes than its level.
TEST(Md5Lanes, ChosenLevelAtEveryBatchSize) { ExpectBatchSizesAndPaddingBoundaries(kChosen); }

INSTANTIATE_TEST_SUITE_P(Levels, Md5LanesTest,
                         testing::Values(Md5Level::kOpenSsl, Md5Level::kSse2, Md5Level::kAvx2, Md5Level::kAvx512),
                         [](const testing::TestParamInfo<Md5Level>& level) { return Md5LevelName(level.param); });

TEST(Md5Lanes, SettingPicksALevelNeverAboveTheWidest) {
  EXPECT_EQ(Md5LevelFor("openssl", Md5Level::kAvx512), Md5Level::kOpenSsl);
  EXPECT_EQ(Md5LevelFor("sse2", Md5Level::kAvx512), Md5Level::kSse2);
  EXPECT_EQ(Md5LevelFor("avx512", Md5Level::kAvx2), Md5Level::kAvx2);
  EXPECT_EQ(Md5LevelFor("AVX2", Md5Level::kAvx512), Md5Level::kAvx512);
  EXPECT_EQ(Md5LevelFor("", Md5Level::kSse2), Md5Level::kSse2);
  EXPECT_EQ(Md5LevelFor(nullptr, Md5Level::kAvx2), Md5Level::kAvx2);
  EXPECT_TRUE(Md5LevelSupported(Md5ChosenLevel()));
}

}  // namespace
