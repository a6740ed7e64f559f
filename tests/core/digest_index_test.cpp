#include "core/digest_index.h"

#include "core/records_checksum.h"
#include "core/sides_index.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "compat/lm_common.h"
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
void ExpectSameCounts(const CountIndex& index, CShingleSet reference, std::mt19937& random) {
  reference.ConvertToSet();
  for (const CShingle& shingle : reference.list) {
    ASSERT_EQ(index.Count(shingle.hash), reference.set.find(shingle)->count);
    CShingle near = shingle;
    near.hash[15] ^= 1;
    ASSERT_EQ(index.Count(near.hash), reference.set.count(near) ? reference.set.find(near)->count : 0);
  }
  for (int i = 0; i < 1000; ++i) {
    CShingle other = Random(random, 1);
    EXPECT_EQ(index.Contains(other.hash), reference.set.count(other) != 0);
  }
}

// Both sides in one index, joined or shared, answer for each side as the
// side's own index, with and without counts, for digests of either side,
// both, or neither.
void ExpectBothSides(const SidesIndex& joined, const CountIndex& a, const CountIndex& b,
                     std::mt19937& random) {
  std::vector<Digest> keys(a.begin(), a.end());
  keys.insert(keys.end(), b.begin(), b.end());
  for (int i = 0; i < 100; ++i) std::memcpy(keys.emplace_back().bytes, Random(random, 1).hash, 16);
  std::vector<int32_t> counts[2], sides(keys.size());
  for (auto& side : counts) side.resize(keys.size());
  joined.CountMany(keys.data(), keys.size(), counts[0].data(), counts[1].data());
  joined.SidesMany(keys.data(), keys.size(), sides.data());
  for (size_t i = 0; i < keys.size(); ++i) {
    const unsigned char* key = keys[i].bytes;
    ASSERT_EQ(counts[0][i], a.Count(key));
    ASSERT_EQ(counts[1][i], b.Count(key));
    ASSERT_EQ(joined.Count(SidesIndex::kUnprotected, key), b.Count(key));
    ASSERT_EQ(sides[i], (a.Contains(key) ? 1 : 0) | (b.Contains(key) ? 2 : 0));
    ASSERT_EQ(joined.Sides(key), sides[i]);
  }
  EXPECT_EQ(joined.records(SidesIndex::kProtected), a.records());
  EXPECT_EQ(joined.total(SidesIndex::kUnprotected), b.total());
}

// The first record of each digest wins, from a list, from a sorted flat set
// and from a set file out of order (counts 1, a partial record ignored).
TEST(CountIndex, AnswersLikeConvertToSet) {
  std::mt19937 random(7);
  TempDir dir;
  for (size_t size : {0, 1, 3, 40, 5000, 40000}) {
    CShingleSet set;
    for (size_t i = 0; i < size; ++i) {
      CShingle shingle = Random(random, static_cast<int32_t>(i % 5 + 1));
      if (i % 7 == 0) shingle.hash[0] = 0;  // a crowded bucket
      set.list.push_back(shingle);
      shingle.count = 9;  // a later duplicate never wins
      if (i % 3 == 0) set.list.push_back(shingle);
    }
    set.total = 1234;
    const CountIndex from_set = IndexOfSet(set);
    EXPECT_EQ(from_set.records(), set.list.size());
    EXPECT_EQ(from_set.total(), 1234);
    ExpectSameCounts(from_set, set, random);

    CShingleSet sorted = set, ones = set;
    SortByDigest(sorted.list);
    FlatSet flat;
    for (const CShingle& shingle : sorted.list) {
      std::memcpy(flat.digests.emplace_back().bytes, shingle.hash, kDigestSize);
      flat.counts.push_back(shingle.count);
    }
    flat.total = 1234;
    const CountIndex from_flat = CountIndex::FromFlat(flat);
    EXPECT_EQ(from_flat.records(), set.list.size());
    ExpectSameCounts(from_flat, set, random);

    std::string file;  // in the list's own order
    for (const CShingle& shingle : set.list)
      file.append(reinterpret_cast<const char*>(shingle.hash), kDigestSize);
    WriteFile(dir / "set.bin", file + "partial");
    CountIndex loaded, loaded_again;
    ASSERT_TRUE(CountIndex::Load(dir / "set.bin", loaded).ok());
    loaded.BuildDirectory();
    ASSERT_TRUE(CountIndex::Load(dir / "set.bin", loaded_again).ok());
    EXPECT_EQ(loaded.records(), set.list.size());
    EXPECT_EQ(loaded.total(), 0);
    for (CShingle& shingle : ones.list) shingle.count = 1;
    ExpectSameCounts(loaded, ones, random);
    const CountIndex none = CountIndex::FromFlat(FlatSet());
    ExpectBothSides(SidesIndex::Join(RecordsOf(from_flat), RecordsOf(loaded)), from_flat, loaded,
                    random);
    ExpectBothSides(SidesIndex::Join(RecordsOf(loaded), RecordsOf(none)), loaded, none, random);
    // Joined in parts on threads (large enough sets only), the same answers.
    ExpectBothSides(SidesIndex::Join(RecordsOf(from_flat), RecordsOf(loaded), 3), from_flat, loaded,
                    random);
    ExpectBothSides(SidesIndex::Share(CountIndex::FromFlat(flat), std::move(loaded_again)),
                    from_flat, loaded, random);
    // Shared sides that differ (a digest repeated in the list lands on both).
    FlatSet halves[2];
    for (size_t i = 0; i < flat.digests.size(); ++i)
      halves[i % 2].digests.push_back(flat.digests[i]);
    ExpectBothSides(
        SidesIndex::Share(CountIndex::FromFlat(halves[0]), CountIndex::FromFlat(halves[1]), 2),
        CountIndex::FromFlat(halves[0]), CountIndex::FromFlat(halves[1]), random);
  }
}

// Sets or clears the immutable mark; false where the file system or the
// process's rights do not allow it.
bool MarkImmutable(const std::string& path, bool mark) {
  const int fd = open(path.c_str(), O_RDONLY);
  int flags = 0;
  bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = mark ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  close(fd);
  return done;
}

// A set file is copied, so that nothing done to it reaches the index; only
// one that nobody can change is mapped, unless it is out of order: it is
// sorted in a copy all the same.
TEST(CountIndex, LoadsCopiesAndMapsOnlyImmutableFiles) {
  TempDir dir;
  std::string ascending, descending;
  for (char i = 0; i < 3; ++i) {
    ascending += std::string(15, '\0') + i;
    descending = std::string(15, '\0') + i + descending;
  }
  for (const std::string& bytes : {ascending, descending}) {
    for (bool immutable : {false, true}) {
      WriteFile(dir / "set.bin", bytes);
      if (immutable && !MarkImmutable(dir / "set.bin", true)) GTEST_SKIP() << "no immutable files here";
      CountIndex index;
      EXPECT_TRUE(CountIndex::Load(dir / "set.bin", index).ok());
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(index.begin()), 16 * index.size()), ascending);
      EXPECT_EQ(index.shared(), immutable && bytes == ascending);
      if (immutable) MarkImmutable(dir / "set.bin", false);
    }
  }
}

// A file is read in pieces: an order broken only across two pieces is still
// found (and the records sorted), and the checksum is that of the whole file
// in its own order.
TEST(CountIndex, ReadsInPiecesAsAWhole) {
  TempDir dir;
  std::vector<Digest> records(70000);
  for (size_t i = 0; i < records.size(); ++i) {
    const uint64_t high = __builtin_bswap64(uint64_t{i} << 20);
    std::memcpy(records[i].bytes, &high, sizeof high);
  }
  std::vector<Digest> file = records;
  std::swap(file[65535], file[65536]);  // the first piece ends after 65,536 records
  WriteFile(dir / "set.bin", std::string(reinterpret_cast<const char*>(file.data()),
                                         file.size() * sizeof(Digest)));
  CountIndex index;
  ASSERT_TRUE(CountIndex::Load(dir / "set.bin", index, CountIndex::Pages::kOrdinary).ok());
  ASSERT_EQ(index.size(), records.size());
  EXPECT_TRUE(std::equal(records.begin(), records.end(), index.begin()));
  EXPECT_EQ(index.checksum(), ChecksumOfRecords(file.data(), file.size()));
  EXPECT_NE(index.checksum(), ChecksumOfRecords(records.data(), records.size()));
}

}  // namespace
