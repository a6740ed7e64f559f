#include "compat/shingle.h"

#include <vector>

#include "support/test_support.h"

namespace {

TEST(ShingleOrder, DigestBytesCompareUnsigned) {
  CShingle low = Record(0x7F), high = Record(0x80), last_differs = Record(0x7F, "", 1, 1);
  EXPECT_TRUE(low < high);
  EXPECT_FALSE(high < low);
  EXPECT_FALSE(HashLess(low.hash, low.hash));
  EXPECT_TRUE(HashLess(low.hash, last_differs.hash));
  EXPECT_FALSE(HashEqual(low.hash, last_differs.hash));
}

TEST(Unique, MergesEqualDigestsIntoTheEarliestRecord) {
  CShingleSet set = SetOf({Record(0x80, "first"), Record(0x7F), Record(0x80, "second", 2),
                           Record(0x00), Record(0x80, "third")});
  set.total = 9;
  Unique(set);
  EXPECT_EQ(FirstBytes(set), std::string("\x00\x7F\x80", 3));
  EXPECT_EQ(set.list.back().text, "first");
  EXPECT_EQ(set.list.back().count, 4);
  EXPECT_EQ(set.list.back().doc_count, 3);
  EXPECT_EQ(set.total, 9);
  EXPECT_TRUE(set.set.empty());
}

TEST(SortByDigest, GivesTheOrderOfTheStableListSort) {
  // Few distinct leading bytes: long runs of equal keys.
  std::list<CShingle> records;
  unsigned seed = 1;
  for (int i = 0; i < 5000; ++i) {
    seed = seed * 1103515245 + 12345;
    CShingle shingle = Record((seed >> 24) & 0x83, std::to_string(i), 1, (seed >> 8) & 3);
    shingle.hash[1] = (seed >> 16) & 1;
    records.push_back(shingle);
  }
  std::list<CShingle> expected = records;
  expected.sort();
  SortByDigest(records);
  EXPECT_TRUE(std::equal(records.begin(), records.end(), expected.begin(),
                         [](const CShingle& a, const CShingle& b) { return a.text == b.text; }));
}

TEST(ConvertToSet, KeepsTheFirstRecordOfADigestAndLeavesTheList) {
  CShingleSet set = SetOf({Record(1, "a", 2), Record(1, "b", 5), Record(0, "c")});
  set.ConvertToSet();
  set.ConvertToSet();
  ASSERT_EQ(set.set.size(), 2u);
  EXPECT_EQ(set.set.rbegin()->count, 2);
  EXPECT_EQ(set.list.size(), 3u);
}

}  // namespace
