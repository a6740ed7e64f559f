#include "compat/compare.h"

#include "compat/lm_common.h"
#include "core/digest_index.h"
#include "support/test_support.h"

namespace {

TEST(Common, MovesTheFirstOfEachSharedRecordWithItsCounts) {
  CShingleSet a = SetOf({Record('x'), Record('y', "first", 4), Record('y', "second")});
  CShingleSet b = SetOf({Record('y', "", 9), Record('z')});
  CShingleSet out = SetOf({Record('q')});
  Common(a, b, out);
  EXPECT_EQ(FirstBytes(a) + a.list.back().text + "|" + FirstBytes(b), "xysecond|z");
  // Appended after what out held.
  EXPECT_EQ(FirstBytes(out) + out.list.back().text + std::to_string(out.list.back().count), "qyfirst4");
}

// "|", what a count listed, "|" and the count.
std::string Shared(const std::function<int()>& count_shared) {
  int count = 0;
  const std::string said = Said([&] { return (count = count_shared()) != 0; });
  return said.substr(1) + std::to_string(count);
}
std::string Shared(CShingleSet& doc, CShingleSet& trained) {
  return Shared([&] { return Intersection(doc, trained); });
}

// A count index must find what the walk finds on ordered lists; on a list
// out of order the walk only finds what it happens to meet.
TEST(Intersection, IndexedFormCountsAndListsLikeTheListWalk) {
  SettingsGuard guard;
  Detailed = true;
  CShingleSet doc = SetOf({Record(1, "B", 2), Record(2, "AC", 2), Record(3, "Z", 5), Record(9)});
  CShingleSet ordered = SetOf({Record(0), Record(1), Record(2), Record(3), Record(7)});
  CShingleSet unordered = SetOf({Record(3), Record(7), Record(9), Record(0), Record(1)});
  CountIndex index = IndexOfSet(ordered);
  EXPECT_EQ(Shared([&] { return SharedWhere(doc, [&](auto d) { return index.Contains(d); }, &std::cout); }),
            Shared(doc, ordered));
  // Larger count first, equal counts by text; each line starts with a TAB.
  const std::string zeros(30, '0'), z = "\t[03" + zeros + "] \"Z\" 5 1\n";
  EXPECT_EQ(Shared(doc, ordered),
            "|" + z + "\t[02" + zeros + "] \"AC\" 2 1\n\t[01" + zeros + "] \"B\" 2 1\n|3");
  // The walk meets 03 and 09; a search in the unordered rest would miss 09.
  EXPECT_EQ(Shared(doc, unordered), "|" + z + "\t[09" + zeros + "] \"\" 1 1\n|2");
  Detailed = false;
  EXPECT_EQ(Shared(doc, doc), "||4");
  // The -e block's totals count every shared record, however many.
  CShingleSet many = SetOf({Record(0), Record(1), Record(2), Record(3), Record(4), Record(5),
                            Record(6), Record(7)});
  const CountIndex all = IndexOfSet(many);
  EXPECT_EQ(SharedWhere(many, [&](auto d) { return all.Contains(d); }, nullptr), 8);
}

}  // namespace
