// The flat-set operations must give exactly what the list operations give.
#include "core/flat_set.h"

#include <climits>
#include <random>

#include "compat/compare.h"
#include "support/test_support.h"

namespace {

// Records with few distinct leading bytes and many equal digests; counts tell
// the records apart. shared_byte fixes byte 0 (as in one leading-byte bucket).
FlatSet RandomSet(std::mt19937& random, size_t size, int shared_byte) {
  FlatSet set;
  for (size_t i = 0; i < size; ++i) {
    Digest& digest = set.digests.emplace_back();
    digest.bytes[0] = static_cast<unsigned char>(shared_byte >= 0 ? shared_byte : random() % 8);
    digest.bytes[1] = static_cast<unsigned char>(random() % 64);
    digest.bytes[15] = static_cast<unsigned char>(random() % 2);
    set.counts.push_back(static_cast<int32_t>(i + 1));
  }
  return set;
}

CShingleSet ListOf(const FlatSet& set) {
  CShingleSet list;
  for (size_t i = 0; i < set.digests.size(); ++i) {
    CShingle& shingle = list.list.emplace_back(Record(0, "", set.counts[i]));
    std::memcpy(shingle.hash, set.digests[i].bytes, kDigestSize);
  }
  return list;
}

void ExpectSame(const CShingleSet& expected, const FlatSet& actual) {
  ASSERT_EQ(expected.list.size(), actual.digests.size());
  ASSERT_EQ(actual.counts.size(), actual.digests.size());
  auto shingle = expected.list.begin();
  for (size_t i = 0; i < actual.digests.size(); ++i, ++shingle) {
    ASSERT_TRUE(HashEqual(shingle->hash, actual.digests[i].bytes)) << i;
    ASSERT_EQ(shingle->count, actual.counts[i]) << i;
  }
}

// Common first on records out of order and repeated, then on sorted and
// unique ones, where it must find shared records.
TEST(FlatSet, SortUniqueAndCommonMatchTheListOperations) {
  std::mt19937 random(5);
  for (size_t size : {0, 1, 2, 30, 700, 20000}) {
    for (int shared_byte : {-1, 0x9C}) {
      FlatSet a = RandomSet(random, size, shared_byte);
      FlatSet b = RandomSet(random, size / 3 + 1, shared_byte);
      CShingleSet lists[3] = {ListOf(a), ListOf(b)};
      FlatSet out;
      for (int round = 0; round < 2; ++round) {
        Common(a, b, out), Common(lists[0], lists[1], lists[2]);
        ExpectSame(lists[0], a), ExpectSame(lists[1], b), ExpectSame(lists[2], out);
        SortByDigest(a), SortByDigest(lists[0].list);
        ExpectSame(lists[0], a);
        Unique(a), Unique(b), Unique(lists[0]), Unique(lists[1]);
        ExpectSame(lists[0], a), ExpectSame(lists[1], b);
      }
      EXPECT_TRUE(size < 700 || !out.digests.empty());
    }
  }
}

TEST(FlatSet, CountsSaturateInsteadOfWrapping) {
  FlatSet flat;
  flat.digests.assign(3, Digest{});
  flat.counts = {INT_MAX - 1, 5, 7};
  Unique(flat);
  EXPECT_EQ(std::vector<int32_t>{INT_MAX}, flat.counts);

  CShingleSet list = SetOf({Record(0, "", INT_MAX), Record(0)});
  list.list.front().doc_count = INT_MAX - 1;
  Unique(list);
  EXPECT_EQ(INT_MAX, list.list.front().count);
  EXPECT_EQ(INT_MAX, list.list.front().doc_count);

  std::istringstream in("a b c d ");
  list.total = INT_MAX - 1;
  _BuildShingles(in, list, 1);
  EXPECT_EQ(INT_MAX, list.total);
}

}  // namespace
