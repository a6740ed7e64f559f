#include "core/builder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "core/charset.h"
#include "support/temp_dir.h"

namespace {

class BuilderTest : public testing::Test {
 protected:
  void TearDown() override {
    Stopwords.clear();
    CShingle::shingle_shift = 1;
  }

  static std::vector<std::string> Texts(const std::string& input, int n) {
    CShingleSet set;
    std::istringstream in(input);
    _BuildShingles(in, set, n);
    std::vector<std::string> texts;
    for (const CShingle& shingle : set.list) texts.push_back(shingle.text);
    return texts;
  }

  using Words = std::vector<std::string>;
};

TEST_F(BuilderTest, WordsAreJoinedBySingleSpacesAndHashedWithMd5) {
  CShingleSet set;
  std::istringstream in("ab, cd ef.");
  _BuildShingles(in, set, 2);
  EXPECT_EQ(set.total, 2);
  ASSERT_EQ(set.list.size(), 2u);
  EXPECT_EQ(set.list.front().text, "ab cd");
  EXPECT_EQ(set.list.back().text, "cd ef");

  CShingleSet single;
  std::istringstream a("a.");
  _BuildShingles(a, single, 1);
  const unsigned char md5_of_a[16] = {0x0c, 0xc1, 0x75, 0xb9, 0xc0, 0xf1, 0xb6, 0xa8,
                                      0x31, 0xc3, 0x99, 0xe2, 0x69, 0x77, 0x26, 0x61};
  ASSERT_EQ(single.list.size(), 1u);
  EXPECT_TRUE(HashEqual(single.list.front().hash, md5_of_a));
}

TEST_F(BuilderTest, WordBoundaries) {
  EXPECT_EQ(Texts("ab cd", 1), Words{"ab"});  // the unterminated last word is lost
  EXPECT_EQ(Texts("ab cd\n", 1), (Words{"ab", "cd"}));
  EXPECT_EQ(Texts("abc123def!", 1), (Words{"abc", "def"}));
  EXPECT_EQ(Texts("", 1), Words{});
}

TEST_F(BuilderTest, OnlyCyrillicLowerCaseIsUpperCased) {
  EXPECT_EQ(Texts("\xE0\xE1 Hello HELLO \xA8\xB8.", 1), (Words{"\xC0\xC1", "Hello", "HELLO"}));
  // UTF-8 lead bytes count as letters, continuation bytes as separators.
  EXPECT_EQ(Texts("\xD0\xB0\xD1\x8F ", 1), (Words{"\xD0", "\xD1"}));
  EXPECT_EQ(toupper_cp1251(0xFF), 0xDF);
  EXPECT_EQ(toupper_cp1251('a'), 'a');
  EXPECT_EQ(tolower_cp1251(0xC0), 0xE0);
  EXPECT_EQ(tolower_cp1251(0xE0), 0xE0);
  EXPECT_EQ(isalpha_cp1251(0xBF), 0);
  EXPECT_EQ(isalpha_cp1251(0xC0), 1);
}

TEST_F(BuilderTest, ShinglesSpanRemovedStopWords) {
  Stopwords = {"THE", "the"};
  EXPECT_EQ(Texts("A THE B.", 2), Words{"A B"});
  EXPECT_EQ(Texts("the A B the ", 2), Words{"A B"});
  EXPECT_EQ(Texts("The x ", 1), (Words{"The", "x"}));  // exact bytes only
}

TEST_F(BuilderTest, WordCountAndShift) {
  EXPECT_EQ(Texts("a b c d e ", 3), (Words{"a b c", "b c d", "c d e"}));
  EXPECT_EQ(Texts("a b c ", 3), Words{"a b c"});
  EXPECT_EQ(Texts("a b ", 3), Words{});
  EXPECT_EQ(Texts("a b ", -2), Words{});
  CShingle::shingle_shift = 2;
  EXPECT_EQ(Texts("a b c d e ", 2), (Words{"a b", "c d"}));
}

TEST_F(BuilderTest, ShiftBelowOneRefusesToBuild) {
  for (int shift : {0, -1}) {
    CShingle::shingle_shift = shift;
    CShingleSet set;
    std::istringstream in("a b c ");
    testing::internal::CaptureStderr();
    _BuildShingles(in, set, 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("shingle shift must be at least 1"), std::string::npos);
    EXPECT_TRUE(set.list.empty());
    EXPECT_EQ(set.total, 0);
  }
}

TEST_F(BuilderTest, WordsCrossingReadBlocksStayWhole) {
  std::string long_word(70000, 'q');
  EXPECT_EQ(Texts(std::string(65535, ' ') + "ab cd ", 1), (Words{"ab", "cd"}));
  EXPECT_EQ(Texts(long_word + " z ", 1), (Words{long_word, "z"}));
}

TEST_F(BuilderTest, BuildShinglesMergesPerFileAndCountsFiles) {
  TempDir dir;
  WriteFile(dir / "one", "x x x.");
  WriteFile(dir / "two", "y x.");
  CShingleSet set;
  BuildShingles(dir / "one", set, 1);
  ASSERT_EQ(set.list.size(), 1u);
  EXPECT_EQ(set.list.front().count, 3);
  EXPECT_EQ(set.list.front().doc_count, 1);
  EXPECT_EQ(set.total, 3);
  BuildShingles(dir / "two", set, 1);
  EXPECT_EQ(set.total, 5);
  Unique(set);
  ASSERT_EQ(set.list.size(), 2u);
  for (const CShingle& shingle : set.list) {
    if (shingle.text == "X") {
      EXPECT_EQ(shingle.doc_count, 2);
    }
  }
}

TEST_F(BuilderTest, UnreadableFilesAreReportedAndAddNothing) {
  TempDir dir;
  CShingleSet set;
  testing::internal::CaptureStderr();
  BuildShingles(dir / "missing", set, 1);
  _BuildShingles(dir.path(), set, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "No such file or directory\nIs a directory\n");
  EXPECT_TRUE(set.list.empty());
  EXPECT_EQ(set.total, 0);
}

TEST_F(BuilderTest, StopWordFiles) {
  TempDir dir;
  WriteFile(dir / "stop", "the  THE\n\nand");
  LoadStopwords(dir / "stop");
  EXPECT_EQ(Stopwords, (std::set<std::string>{"the", "THE", "and"}));
  testing::internal::CaptureStderr();
  LoadStopwords(dir / "none");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error opening file: " + (dir / "none") + "\n");
  EXPECT_EQ(Stopwords.size(), 3u);
}

}  // namespace
