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

TEST(SortByDigest, GivesTheOrderOfTheStableListSort) {
  // Few distinct leading bytes make long runs of equal keys and full buckets.
  std::list<CShingle> records;
  unsigned seed = 1;
  for (int i = 0; i < 5000; ++i) {
    seed = seed * 1103515245 + 12345;
    CShingle shingle = Record(static_cast<unsigned char>(seed >> 24) & 0x83, std::to_string(i));
    shingle.hash[1] = static_cast<unsigned char>(seed >> 16) & 0x01;
    shingle.hash[15] = static_cast<unsigned char>(seed >> 8) & 0x03;
    records.push_back(shingle);
  }
  std::list<CShingle> expected = records;
  expected.sort();
  SortByDigest(records);
  std::vector<std::string> got_texts, expected_texts;
  for (const CShingle& shingle : records) got_texts.push_back(shingle.text);
  for (const CShingle& shingle : expected) expected_texts.push_back(shingle.text);
  EXPECT_EQ(got_texts, expected_texts);
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
