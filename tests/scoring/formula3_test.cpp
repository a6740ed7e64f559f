#include <gtest/gtest.h>

#include "scoring/formulas.h"
#include "scoring/lm_test_util.h"

namespace {

// Sets as loaded from files: a known word scores 1 / 0.01 = 100, an unknown 0.
class Formula3Test : public LmSettingsTest {
 protected:
  std::string Judge(const std::string& text, const std::string& known) {
    CShingleSet doc = Built(text, 1), pw = Loaded(known, 1), uw;
    return Said([&] { return Formula3(doc, pw, uw); });
  }
};

TEST_F(Formula3Test, WindowLengths) {
  // A document shorter than the window is scored once, on its partial window.
  EXPECT_EQ(Judge("a b c\n", "b\n"), "F||");  // 0 * 100 * 0 = 0: S_P > 0 fails
  lm_log = true;  // ln 1 + ln 101 + ln 1; the phrase is the whole document
  EXPECT_EQ(Judge("a b c\n", "b\n"), "T|values: \t4.61512\t0\nString:\n a b c\n|");
  lm_log = false;
  lm_length = 2;  // x a scores 0, then a b 100 * 100 with phrase w2 (w3 missing)
  EXPECT_EQ(Judge("x a b\n", "a b\n"), "T|values: \t10000\t0\nString:\n b\n|");
  // A full window that is not at the end: phrase w(j) w(j+1).
  EXPECT_EQ(Judge("a b c\n", "a b c\n"), "T|values: \t10000\t0\nString:\n b c\n|");
  lm_length = 1;
  EXPECT_EQ(Judge("x a b\n", "a b\n"), "T|values: \t100\t0\nString:\n a\n|");
  lm_length = 3;  // exactly the document: phrase from w(max(0, 2 - 1))
  EXPECT_EQ(Judge("a b c\n", "a b c\n"), "T|values: \t1e+06\t0\nString:\n b c\n|");
  lm_length = -1;  // all words at the last one; the phrase runs from it
  EXPECT_EQ(Judge("a b c\n", "a b c\n"), "T|values: \t1e+06\t0\nString:\n c\n|");
  lm_length = 0;
  EXPECT_EQ(Judge("a b c\n", "a b c\n"), "F||");
}

TEST_F(Formula3Test, SmoothingMarginAndEmptyDocument) {
  // lambda 1, trained a a b (T 3, N 2): p(a) = 3 / 5.01; unprotected trained
  // c (T 1, N 1): p = 1 / 2.01 for unknown words.
  lm_lambda = 1;
  lm_length = 1;
  CShingleSet doc = Built("a\n", 1), pw = Trained("a a b\n", 1), uw = Trained("c\n", 1), none;
  auto judge = [&] { return Formula3(doc, pw, uw); };
  EXPECT_EQ(Said(judge), "T|values: \t0.598802\t0.497512\nString:\n a\n|");
  lm_factor = 0.2;  // 0.598802 < 0.497512 + 0.2
  EXPECT_EQ(Said(judge), "F||");
  EXPECT_EQ(Said([&] { return Formula3(none, pw, uw); }), "F||Error: empty doc shingles\n");
}

}  // namespace
