#include "compat/shingle_file.h"

#include "support/test_support.h"

namespace {

TEST(SetFile, SavesInDigestOrderLoadsWholeRecordsOnlyAndRoundTrips) {
  TempDir dir;
  CShingleSet set = SetOf({Record(0x90, "x"), Record(0x10), Record(0x90)});
  saveShinglesToFile(dir / "p.bin", set);
  EXPECT_EQ(set.list.front().hash[0], 0x10);  // the caller's list is sorted too
  std::string bytes = ReadFile(dir / "p.bin");
  ASSERT_EQ(bytes.size(), 48u);
  EXPECT_EQ(bytes.substr(0, 16), std::string(1, '\x10') + std::string(15, '\0'));
  EXPECT_EQ(bytes.substr(16, 16), bytes.substr(32, 16));

  WriteFile(dir / "odd", std::string(16, 'a') + std::string(16, 'b') + std::string(8, 'c'));
  set.total = 7;
  loadShinglesFromFile(dir / "odd", set);
  ASSERT_EQ(set.list.size(), 2u);  // replaces the list
  const CShingle& second = set.list.back();
  EXPECT_EQ(second.hash[0], 'b');
  EXPECT_EQ(second.text + std::to_string(second.count) + std::to_string(second.doc_count), "11");
  EXPECT_EQ(set.total, 7);

  set.list.clear();  // many blocks round trip
  for (int i = 0; i < 10000; ++i) set.list.push_back(Record(i, "", 1, i >> 8));
  saveShinglesToFile(dir / "big", set);
  CShingleSet loaded;
  loadShinglesFromFile(dir / "big", loaded);
  ASSERT_EQ(loaded.list.size(), set.list.size());
  EXPECT_TRUE(std::equal(set.list.begin(), set.list.end(), loaded.list.begin(),
                         [](const CShingle& a, const CShingle& b) { return HashEqual(a.hash, b.hash); }));

  std::stringstream stream;
  CShingle back;
  stream << Record(7, "text", 1, 9);
  EXPECT_TRUE(stream >> back);
  EXPECT_EQ(back.hash[15], 9);
  EXPECT_FALSE(stream >> back);

  std::istringstream hex("0aff");
  EXPECT_EQ(ReadHex(hex), 10);
  EXPECT_EQ(ReadHex(hex), 255);
}

}  // namespace
