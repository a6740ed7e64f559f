#include <gtest/gtest.h>

#include "scoring/formulas.h"
#include "scoring/lm_test_util.h"

namespace {

// Sets as loaded from files: a known word scores 1 / 0.01 = 100, an unknown 0.
class Formula3Test : public LmSettingsTest {
 protected:
  bool Judge(const std::string& text, const std::string& known) {
    CShingleSet doc = Built(text, 1), pw = Loaded(known, 1), uw;
    return Formula3(doc, pw, uw);
  }
};

TEST_F(Formula3Test, ShortDocumentIsScoredOnceOnItsPartialWindow) {
  {
    // 0 * 100 * 0 = 0: S_P > 0 fails.
    Captured io;
    EXPECT_FALSE(Judge("a b c\n", "b\n"));
    EXPECT_EQ(io.out(), "");
  }
  lm_log = true;
  {
    // ln 1 + ln 101 + ln 1 = 4.61512; the phrase is the whole document.
    Captured io;
    EXPECT_TRUE(Judge("a b c\n", "b\n"));
    EXPECT_EQ(io.out(), "values: \t4.61512\t0\nString:\n a b c\n");
  }
}

TEST_F(Formula3Test, WindowsSlideOneWordAtATime) {
  lm_length = 2;
  {
    // Window x a scores 0; the next window a b scores 100 * 100 and its
    // phrase is w2 and the (missing) w3.
    Captured io;
    EXPECT_TRUE(Judge("x a b\n", "a b\n"));
    EXPECT_EQ(io.out(), "values: \t10000\t0\nString:\n b\n");
  }
  {
    // A full window that is not at the end: phrase w(j) w(j+1).
    Captured io;
    EXPECT_TRUE(Judge("a b c\n", "a b c\n"));
    EXPECT_EQ(io.out(), "values: \t10000\t0\nString:\n b c\n");
  }
  lm_length = 1;
  {
    Captured io;
    EXPECT_TRUE(Judge("x a b\n", "a b\n"));
    EXPECT_EQ(io.out(), "values: \t100\t0\nString:\n a\n");
  }
  lm_length = 3;
  {
    // Window of exactly the document: phrase from w(max(0, 2 - 1)).
    Captured io;
    EXPECT_TRUE(Judge("a b c\n", "a b c\n"));
    EXPECT_EQ(io.out(), "values: \t1e+06\t0\nString:\n b c\n");
  }
}

TEST_F(Formula3Test, NegativeAndZeroWindowLengths) {
  {
    // Scored once over all words at the last word; the phrase runs from it.
    lm_length = -1;
    Captured io;
    EXPECT_TRUE(Judge("a b c\n", "a b c\n"));
    EXPECT_EQ(io.out(), "values: \t1e+06\t0\nString:\n c\n");
  }
  {
    lm_length = 0;
    Captured io;
    EXPECT_FALSE(Judge("a b c\n", "a b c\n"));
    EXPECT_EQ(io.out() + io.err(), "");
  }
}

TEST_F(Formula3Test, SmoothingMarginAndEmptyDocument) {
  // lambda 1, trained a a b (T 3, N 2): p(a) = 3 / 5.01, p(b) = 2 / 5.01;
  // unprotected trained c (T 1, N 1): p = 1 / 2.01 for unknown words.
  lm_lambda = 1;
  lm_length = 1;
  CShingleSet doc = Built("a\n", 1), pw = Trained("a a b\n", 1), uw = Trained("c\n", 1);
  {
    Captured io;
    EXPECT_TRUE(Formula3(doc, pw, uw));
    EXPECT_EQ(io.out(), "values: \t0.598802\t0.497512\nString:\n a\n");
  }
  lm_factor = 0.2;  // 0.598802 < 0.497512 + 0.2
  EXPECT_FALSE(Formula3(doc, pw, uw));

  CShingleSet none;
  Captured io;
  EXPECT_FALSE(Formula3(none, pw, uw));
  EXPECT_EQ(io.err(), "Error: empty doc shingles\n");
}

}  // namespace
