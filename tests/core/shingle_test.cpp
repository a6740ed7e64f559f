#include "core/shingle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

CShingle Record(unsigned char first_byte, const std::string& text = "", int count = 1) {
  CShingle shingle;
  shingle.text = text;
  shingle.hash[0] = first_byte;
  shingle.count = count;
  return shingle;
}

std::vector<unsigned char> FirstBytes(const CShingleSet& set) {
  std::vector<unsigned char> bytes;
  for (const CShingle& shingle : set.list) bytes.push_back(shingle.hash[0]);
  return bytes;
}

TEST(ShingleOrder, BytesCompareAsUnsignedAndEqualDigestsAreNotLess) {
  CShingle low = Record(0x7F), high = Record(0x80);
  EXPECT_TRUE(low < high);
  EXPECT_FALSE(high < low);
  EXPECT_FALSE(HashLess(low.hash, low.hash));
  CShingle last_differs = Record(0x7F);
  last_differs.hash[15] = 1;
  EXPECT_FALSE(HashEqual(low.hash, last_differs.hash));
  EXPECT_TRUE(HashLess(low.hash, last_differs.hash));
}

TEST(ShingleOrder, DisplayOrderIsCountDescendingThenText) {
  EXPECT_TRUE(SortCShingleByCount(Record(0, "X", 5), Record(0, "A", 3)));
  EXPECT_TRUE(SortCShingleByCount(Record(0, "AB"), Record(0, "ABC")));
  EXPECT_TRUE(SortCShingleByCount(Record(0, "AC"), Record(0, "B")));
  EXPECT_FALSE(SortCShingleByCount(Record(0, "B"), Record(0, "B")));
  EXPECT_TRUE(SortCShingleByCount(Record(0, "A"), Record(0, "\xC0")));  // bytes unsigned
}

TEST(Unique, MergesEqualDigestsIntoTheEarliestRecord) {
  CShingleSet set;
  Unique(set);
  EXPECT_TRUE(set.list.empty());
  set.list = {Record(0x80, "first"), Record(0x7F), Record(0x80, "second"), Record(0x00),
              Record(0x80, "third")};
  set.total = 9;
  Unique(set);
  EXPECT_EQ(FirstBytes(set), (std::vector<unsigned char>{0x00, 0x7F, 0x80}));
  const CShingle& merged = set.list.back();
  EXPECT_EQ(merged.text, "first");
  EXPECT_EQ(merged.count, 3);
  EXPECT_EQ(merged.doc_count, 3);
  EXPECT_EQ(set.total, 9);
  EXPECT_TRUE(set.set.empty());
}

TEST(ConvertToSet, KeepsTheFirstRecordOfADigestAndLeavesTheList) {
  CShingleSet set;
  set.list = {Record(1, "a", 2), Record(1, "b", 5), Record(0, "c")};
  set.ConvertToSet();
  set.ConvertToSet();
  ASSERT_EQ(set.set.size(), 2u);
  EXPECT_EQ(set.set.rbegin()->count, 2);
  EXPECT_EQ(set.list.size(), 3u);
}

}  // namespace
