#include "scoring/compare.h"

#include <gtest/gtest.h>

#include "core/settings.h"

namespace {

CShingle Record(unsigned char first_byte, std::string text = "", int count = 1) {
  CShingle shingle;
  shingle.hash[0] = first_byte;
  shingle.text = std::move(text);
  shingle.count = count;
  return shingle;
}

CShingleSet SetOf(std::initializer_list<CShingle> records) {
  CShingleSet set;
  set.list = records;
  return set;
}

std::string FirstBytes(const CShingleSet& set) {
  std::string bytes;
  for (const CShingle& shingle : set.list) bytes += static_cast<char>(shingle.hash[0]);
  return bytes;
}

TEST(Common, MovesSharedRecordsWithTheFirstSetsCounts) {
  CShingleSet a = SetOf({Record('x'), Record('y', "", 4)});
  CShingleSet b = SetOf({Record('y', "", 9), Record('z')});
  CShingleSet out = SetOf({Record('q')});
  Common(a, b, out);
  EXPECT_EQ(FirstBytes(a), "x");
  EXPECT_EQ(FirstBytes(b), "z");
  EXPECT_EQ(FirstBytes(out), "qy");  // appended after what out held
  EXPECT_EQ(out.list.back().count, 4);
}

TEST(Common, PairsOnlyTheFirstOfTwoEqualRecords) {
  CShingleSet a = SetOf({Record('y', "first"), Record('y', "second")});
  CShingleSet b = SetOf({Record('y')});
  CShingleSet out;
  Common(a, b, out);
  ASSERT_EQ(a.list.size(), 1u);
  EXPECT_EQ(a.list.front().text, "second");
  EXPECT_EQ(out.list.front().text, "first");
  EXPECT_TRUE(b.list.empty());
}

// Both forms of Intersection must agree, on ordered lists and on a trained
// list out of order (where the walk only finds what it happens to meet).
TEST(Intersection, IndexedFormCountsAndListsLikeTheListWalk) {
  Detailed = true;
  CShingleSet doc = SetOf({Record(1, "B", 2), Record(2, "AC", 2), Record(3, "Z", 5), Record(9)});
  CShingleSet ordered = SetOf({Record(0), Record(1), Record(2), Record(3), Record(7)});
  CShingleSet unordered = SetOf({Record(3), Record(1), Record(2)});
  for (CShingleSet* trained : {&ordered, &unordered}) {
    testing::internal::CaptureStdout();
    int walked = Intersection(doc, *trained);
    std::string walked_out = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    int indexed = Intersection(doc, IndexDigests(*trained));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), walked_out);
    EXPECT_EQ(indexed, walked);
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(Intersection(doc, ordered), 3);
  // Larger count first, equal counts by text; each line starts with a TAB.
  std::string zeros(30, '0');
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\t[03" + zeros + "] \"Z\" 5 1\n\t[02" + zeros + "] \"AC\" 2 1\n\t[01" + zeros +
                "] \"B\" 2 1\n");
  Detailed = false;
  EXPECT_EQ(Intersection(doc, unordered), 1);  // the walk meets 03 only
  testing::internal::CaptureStdout();
  EXPECT_EQ(Intersection(doc, doc), 4);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
