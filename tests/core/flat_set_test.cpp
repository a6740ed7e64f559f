// The flat-set operations must give exactly what the list operations give.
#include "core/flat_set.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <sstream>

#include "core/builder.h"
#include "scoring/compare.h"

namespace {

// Records with few distinct leading bytes and many equal digests; counts tell
// the records apart. shared_byte fixes byte 0 (as in one leading-byte bucket).
FlatSet RandomSet(std::mt19937& random, size_t size, int shared_byte = -1) {
  FlatSet set;
  for (size_t i = 0; i < size; ++i) {
    Digest digest{};
    digest.bytes[0] = static_cast<unsigned char>(shared_byte >= 0 ? shared_byte : random() % 8);
    digest.bytes[1] = static_cast<unsigned char>(random() % 64);
    digest.bytes[15] = static_cast<unsigned char>(random() % 2);
    set.digests.push_back(digest);
    set.counts.push_back(static_cast<int32_t>(i + 1));
  }
  return set;
}

CShingleSet ListOf(const FlatSet& set) {
  CShingleSet list;
  for (size_t i = 0; i < set.digests.size(); ++i) {
    CShingle& shingle = list.list.emplace_back();
    std::memcpy(shingle.hash, set.digests[i].bytes, kDigestSize);
    shingle.count = set.counts[i];
  }
  return list;
}

void ExpectSame(const CShingleSet& expected, const FlatSet& actual) {
  ASSERT_EQ(expected.list.size(), actual.digests.size());
  ASSERT_EQ(actual.counts.size(), actual.digests.size());
  size_t i = 0;
  for (const CShingle& shingle : expected.list) {
    EXPECT_EQ(0, std::memcmp(shingle.hash, actual.digests[i].bytes, kDigestSize)) << i;
    EXPECT_EQ(shingle.count, actual.counts[i]) << i;
    ++i;
  }
}

TEST(FlatSet, SortAndUniqueMatchTheListOperations) {
  std::mt19937 random(5);
  for (size_t size : {0, 1, 2, 30, 700, 20000}) {
    for (int shared_byte : {-1, 0x9C}) {
      FlatSet flat = RandomSet(random, size, shared_byte);
      CShingleSet list = ListOf(flat);
      SortByDigest(flat);
      SortByDigest(list.list);
      ExpectSame(list, flat);
      Unique(flat);
      Unique(list);
      ExpectSame(list, flat);
    }
  }
}

TEST(FlatSet, CommonMatchesTheListWalkAlsoOnDuplicatesAndDisorder) {
  std::mt19937 random(9);
  for (bool sorted : {true, false}) {
    FlatSet a = RandomSet(random, 300), b = RandomSet(random, 200), out;
    if (sorted) SortByDigest(a), SortByDigest(b);
    CShingleSet list_a = ListOf(a), list_b = ListOf(b), list_out;
    Common(a, b, out);
    Common(list_a, list_b, list_out);
    ExpectSame(list_a, a);
    ExpectSame(list_b, b);
    ExpectSame(list_out, out);
    EXPECT_TRUE(!sorted || !out.digests.empty());
  }
}

TEST(FlatSet, CountsSaturateInsteadOfWrapping) {
  FlatSet flat;
  flat.digests.assign(3, Digest{});
  flat.counts = {INT_MAX - 1, 5, 7};
  Unique(flat);
  EXPECT_EQ(std::vector<int32_t>{INT_MAX}, flat.counts);

  CShingleSet list;
  list.list.resize(2);
  list.list.front().count = INT_MAX;
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
