#include "core/digest_index.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "core/set_file.h"
#include "support/test_support.h"

namespace {

CShingle Random(std::mt19937& random, int32_t count) {
  CShingle shingle;
  for (unsigned char& byte : shingle.hash) byte = static_cast<unsigned char>(random());
  shingle.count = count;
  return shingle;
}

// Every look-up answers as the set that ConvertToSet fills, for present
// digests, absent ones and digests that share a bucket or a leading half.
void ExpectSameCounts(const CountIndex& index, const CShingleSet& reference,
                      std::mt19937& random) {
  for (const CShingle& shingle : reference.list) {
    ASSERT_EQ(index.Count(shingle.hash), reference.set.find(shingle)->count);
    ASSERT_TRUE(index.Contains(shingle.hash));
    CShingle near = shingle;
    near.hash[15] ^= 1;
    ASSERT_EQ(index.Count(near.hash), reference.set.count(near) ? reference.set.find(near)->count : 0);
  }
  for (int i = 0; i < 1000; ++i) {
    CShingle other = Random(random, 1);
    EXPECT_EQ(index.Contains(other.hash), reference.set.count(other) != 0);
  }
}

TEST(CountIndex, FirstRecordOfEachDigestWinsLikeConvertToSet) {
  std::mt19937 random(7);
  for (size_t size : {0, 1, 3, 40, 5000}) {
    CShingleSet set;
    for (size_t i = 0; i < size; ++i) {
      CShingle shingle = Random(random, static_cast<int32_t>(i % 5 + 1));
      if (i % 7 == 0) shingle.hash[0] = 0;  // a crowded bucket
      set.list.push_back(shingle);
      shingle.count = 9;  // a later duplicate never wins
      if (i % 3 == 0) set.list.push_back(shingle);
    }
    set.total = 1234;
    set.ConvertToSet();
    CountIndex from_set = CountIndex::FromSet(set);
    EXPECT_EQ(from_set.records(), set.list.size());
    EXPECT_EQ(from_set.total(), 1234);
    ExpectSameCounts(from_set, set, random);

    CShingleSet sorted = set;
    SortByDigest(sorted.list);
    FlatSet flat;
    for (const CShingle& shingle : sorted.list) {
      flat.digests.push_back(Digest{});
      std::memcpy(flat.digests.back().bytes, shingle.hash, kDigestSize);
      flat.counts.push_back(shingle.count);
    }
    flat.total = 1234;
    CountIndex from_flat = CountIndex::FromFlat(flat);
    EXPECT_EQ(from_flat.records(), set.list.size());
    ExpectSameCounts(from_flat, set, random);
  }
}

TEST(CountIndex, LoadsFilesInAnyOrderWithCountsOfOne) {
  TempDir dir;
  std::mt19937 random(3);
  CShingleSet saved;
  for (int i = 0; i < 3000; ++i) saved.list.push_back(Random(random, 1));
  saved.list.push_back(saved.list.front());
  saveShinglesToFile(dir / "sorted.bin", saved);
  std::string bytes = ReadFile(dir / "sorted.bin");
  std::string reversed;
  for (size_t at = bytes.size(); at > 0; at -= kDigestSize) reversed += bytes.substr(at - 16, 16);
  WriteFile(dir / "reversed.bin", reversed + "partial");
  saved.ConvertToSet();
  for (const char* name : {"sorted.bin", "reversed.bin"}) {
    CountIndex index;
    ASSERT_TRUE(CountIndex::Load(dir / name, index));
    EXPECT_EQ(index.records(), 3001u);
    EXPECT_EQ(index.total(), 0);
    EXPECT_TRUE(std::is_sorted(index.begin(), index.end()));
    ExpectSameCounts(index, saved, random);
  }
}

TEST(CountIndex, RefusesWhatIsNotARegularFile) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // would block a plain open
  WriteFile(dir / "empty", "");
  CountIndex index;
  testing::internal::CaptureStderr();
  for (const std::string& name : {dir / "missing", dir.path(), dir / "fifo"})
    EXPECT_FALSE(CountIndex::Load(name, index));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error opening file: " + dir / "missing" + "\nError opening file: " + dir.path() +
                "\nError opening file: " + dir / "fifo" + "\n");
  EXPECT_TRUE(CountIndex::Load(dir / "empty", index));
  EXPECT_EQ(index.records(), 0u);
  EXPECT_FALSE(index.Contains(Digest{}.bytes));
}

}  // namespace
