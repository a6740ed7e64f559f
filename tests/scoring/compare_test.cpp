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

TEST(Common, MovesTheFirstOfEachSharedRecordWithItsCounts) {
  CShingleSet a = SetOf({Record('x'), Record('y', "first", 4), Record('y', "second")});
  CShingleSet b = SetOf({Record('y', "", 9), Record('z')});
  CShingleSet out = SetOf({Record('q')});
  Common(a, b, out);
  EXPECT_EQ(FirstBytes(a), "xy");
  EXPECT_EQ(a.list.back().text, "second");
  EXPECT_EQ(FirstBytes(b), "z");
  EXPECT_EQ(FirstBytes(out), "qy");  // appended after what out held
  EXPECT_EQ(out.list.back().text, "first");
  EXPECT_EQ(out.list.back().count, 4);
}

// The count of an Intersection call, "|" and what it listed.
template <typename Trained>
std::string Shared(CShingleSet& doc, Trained& trained) {
  testing::internal::CaptureStdout();
  const int count = Intersection(doc, trained);
  return std::to_string(count) + "|" + testing::internal::GetCapturedStdout();
}

// Both forms must agree on ordered lists; on a list out of order the walk
// only finds what it happens to meet.
TEST(Intersection, IndexedFormCountsAndListsLikeTheListWalk) {
  Detailed = true;
  CShingleSet doc = SetOf({Record(1, "B", 2), Record(2, "AC", 2), Record(3, "Z", 5), Record(9)});
  CShingleSet ordered = SetOf({Record(0), Record(1), Record(2), Record(3), Record(7)});
  CShingleSet unordered = SetOf({Record(3), Record(7), Record(9), Record(0), Record(1)});
  CountIndex index = CountIndex::FromSet(ordered);
  EXPECT_EQ(Shared(doc, index), Shared(doc, ordered));
  // Larger count first, equal counts by text; each line starts with a TAB.
  const std::string zeros(30, '0'), z = "\t[03" + zeros + "] \"Z\" 5 1\n";
  EXPECT_EQ(Shared(doc, ordered),
            "3|" + z + "\t[02" + zeros + "] \"AC\" 2 1\n\t[01" + zeros + "] \"B\" 2 1\n");
  // The walk meets 03 and 09; a search in the unordered rest would miss 09.
  EXPECT_EQ(Shared(doc, unordered), "2|" + z + "\t[09" + zeros + "] \"\" 1 1\n");
  Detailed = false;
  EXPECT_EQ(Shared(doc, doc), "4|");
}

}  // namespace
