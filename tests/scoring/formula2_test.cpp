#include <gtest/gtest.h>

#include "scoring/formulas.h"
#include "scoring/lm_test_util.h"

namespace {

// Protected words trained on two words (T_P = 2), unprotected on four
// (T_U = 4), no pairs: with the default weights every term of a side is 1/T,
// so a full window of L pairs scores (1/T)^(L+1).
class Formula2Test : public LmSettingsTest {
 protected:
  std::string Judge(const std::string& text) {
    CShingleSet doc = Built(text, 1), doc_pairs = Built(text, 2);
    return Said([&] { return Formula2(doc, doc_pairs, pw_, uw_, pp_, up_); });
  }
  CShingleSet pw_ = Trained("p q\n", 1), uw_ = Trained("a b c d\n", 1), pp_, up_;
};

TEST_F(Formula2Test, OnlyFullWindowsAreScored) {
  lm_length = 2;  // full at j = 1: 1/8 against 1/64, phrase w1; one pair never fills it
  EXPECT_EQ(Judge("x y z\n"), "T|values: \t0.125\t0.015625\nString:\n y\n|");
  EXPECT_EQ(Judge("x y\n"), "F||");
  lm_length = 3;  // full at j = 2: (1/2)^4 against (1/4)^4, phrase w1 w2
  EXPECT_EQ(Judge("a b c d e\n"), "T|values: \t0.0625\t0.00390625\nString:\n b c\n|");
  lm_length = 1;
  EXPECT_EQ(Judge("a b c\n"), "T|values: \t0.25\t0.0625\nString:\n\n|");
  for (int length : {10, -1, 0}) {
    lm_length = length;
    EXPECT_EQ(Judge("a b c d e\n"), "F||") << length;
  }
}

TEST_F(Formula2Test, UnseenPairWithFullSmoothing) {
  // lambda0 1: p1 = c1/T, and an unseen pair gives pB = 0 and q = 1.
  // Protected: p1 = 1/2, q = 1; unprotected (one word z): p1 = 0, q = 1.
  lm_length = 1;
  lm_lambda0 = 1;
  pw_ = Trained("a b\n", 1);
  uw_ = Trained("z\n", 1);
  EXPECT_EQ(Judge("a b\n"), "T|values: \t0.5\t0\nString:\n\n|");
  lm_log = true;  // a zero term stays 0: S_P = ln 0.5 < S_U = 0
  EXPECT_EQ(Judge("a b\n"), "F||");
}

TEST_F(Formula2Test, LoadedSetsAndMalformedDocuments) {
  // Totals of 0 make every frequency infinite and the pair terms NaN.
  pw_ = Loaded("a b c\n", 1);
  uw_ = Loaded("d\n", 1);
  lm_length = 2;
  EXPECT_EQ(Judge("a b c\n"), "F||");
  CShingleSet none, unbuilt = Loaded("a b\n", 1), pairs = Built("a b\n", 2);
  CShingleSet doc = Built("a b c d e\n", 1), short_pairs = Built("a b c d\n", 2);
  EXPECT_EQ(Said([&] { return Formula2(none, none, pw_, uw_, pp_, up_); }),
            "F||Error: empty doc shingles\n");
  EXPECT_EQ(Said([&] { return Formula2(unbuilt, pairs, pw_, uw_, pp_, up_); }),
            "F||Error: empty doc shingles\n");  // words, but total 0
  EXPECT_EQ(Said([&] { return Formula2(doc, short_pairs, pw_, uw_, pp_, up_); }),
            "F||Algorithm error; size1=5 size2=3\n");
}

TEST(Formula2Plain, FixedWeightsOverTheFirstTenPairs) {
  // Empty models, twelve words: every frequency is 0.5 / 12; the first word's
  // is taken once, then each of the first ten positions multiplies by
  // (p1 * 0.5) / pB + p2 * 0.5.
  const std::string text = "a b c d e f g h i j k l\n";
  CShingleSet doc = Built(text, 1), pairs = Built(text, 2);
  std::set<CShingle> words, pair_model;
  const double f = ((0 * 0.5 + 1) - 0.5) / 12.0;
  double expected = 1.0 * f;
  for (int j = 0; j < 10; ++j) expected = expected * ((f * 0.5) / f + f * 0.5);
  EXPECT_EQ(Formula2(doc, pairs, words, pair_model), expected);

  CShingleSet one = Built("a\n", 1), none;
  EXPECT_EQ(Formula2(one, none, words, pair_model), 1.0);
  EXPECT_EQ(Said([&] { return Formula2(none, none, words, pair_model) == 0.0; }),
            "T||Algorithm error\n");
  one.total = 0;
  EXPECT_EQ(Said([&] { return Formula2(one, none, words, pair_model) == 0.0; }),
            "T||Error: empty doc shingles\n");
}

}  // namespace
