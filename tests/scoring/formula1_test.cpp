#include <gtest/gtest.h>

#include "scoring/formulas.h"
#include "scoring/lm_test_util.h"

namespace {

// The protected sets know the words and pairs of `known`, the unprotected
// sets nothing; all as loaded from files (counts 1, totals 0), so a known word
// scores 1 / 0.01 = 100 and a known pair after a known word 1 / 1.01.
class Formula1Test : public LmSettingsTest {
 protected:
  std::string Judge(const std::string& text, const std::string& known) {
    CShingleSet doc = Built(text, 1), doc_pairs = Built(text, 2);
    CShingleSet pw = Loaded(known, 1), pp = Loaded(known, 2), uw, up;
    return Said([&] { return Formula1(doc, doc_pairs, pw, uw, pp, up); });
  }
};

TEST_F(Formula1Test, TwoWordDocumentMarginsAndThresholds) {
  // S_P = 100 * (1 / 1.01), S_U = 0.
  EXPECT_EQ(Judge("A B\n", "A B\n"), "T|values: \t99.0099\t0\nstring:\nA B\n|");
  EXPECT_EQ(Judge("A B\n", "C D\n"), "F||");  // 0 against 0: S_P > 0 fails
  // 99.0099 clears a threshold of 99 on its own, not one of 100, and then
  // needs S_P >= S_U + factor; S_U must stay below lm_threshold_2.
  lm_threshold_1 = 100;
  lm_factor = 99;
  EXPECT_EQ(Judge("A B\n", "A B\n")[0], 'T');
  lm_factor = 100;
  EXPECT_EQ(Judge("A B\n", "A B\n"), "F||");
  lm_threshold_1 = 99;
  EXPECT_EQ(Judge("A B\n", "A B\n")[0], 'T');
  lm_threshold_2 = 0;
  EXPECT_EQ(Judge("A B\n", "A B\n"), "F||");
  lm_log = true;  // only the margin: ln 101 + ln(1 + 1 / 1.01) >= 0 + 100 fails
  EXPECT_EQ(Judge("A B\n", "A B\n"), "F||");
  lm_factor = 0;
  EXPECT_EQ(Judge("A B\n", "A B\n"), "T|values: \t5.3033\t0\nstring:\nA B\n|");
}

TEST_F(Formula1Test, WindowLengths) {
  // Every window hits and prints its values; a full window of two pairs
  // scores 100 / 1.01^2 and its phrase is w(j); the tally follows by phrase.
  Detailed = true;
  lm_length = 2;
  EXPECT_EQ(Judge("a b\n", "a b\n"), "T|values: \t99.0099\t0\ncount: 1 string: a\n|");
  EXPECT_EQ(Judge("a b c\n", "a b c\n"), "T|values: \t98.0296\t0\ncount: 1 string: b\n|");
  EXPECT_EQ(Judge("a b a b a\n", "a b a b a\n"),
            "T|values: \t98.0296\t0\nvalues: \t98.0296\t0\nvalues: \t98.0296\t0\n"
            "count: 1 string: a\ncount: 2 string: b\n|");
  Detailed = false;
  lm_length = 1;  // first window x b misses, then 100 / 1.01 with an empty phrase
  EXPECT_EQ(Judge("x b c\n", "b c\n"), "T|values: \t99.0099\t0\nstring:\n\n|");
  lm_length = 3;  // first full window at j = 2: 100 / 1.01^3, phrase w1 w2
  EXPECT_EQ(Judge("a b c d e\n", "a b c d e\n"), "T|values: \t97.059\t0\nstring:\nb c\n|");
  lm_length = -1;  // longer than any window: all three pairs at once, no phrase
  EXPECT_EQ(Judge("a b c d\n", "a b c d\n"), "T|values: \t97.059\t0\nstring:\n\n|");
  lm_length = 0;
  EXPECT_EQ(Judge("a b c d\n", "a b c d\n"), "F||");
}

TEST_F(Formula1Test, MalformedDocumentsAreReported) {
  CShingleSet none, pw = Loaded("a\n", 1), one = Built("a\n", 1);
  CShingleSet doc = Built("a b c d e\n", 1), pairs = Built("a b c d\n", 2);
  EXPECT_EQ(Said([&] { return Formula1(none, none, pw, none, none, none); }),
            "F||Error: empty doc shingles\n");
  EXPECT_EQ(Said([&] { return Formula1(doc, pairs, pw, none, none, none); }),
            "F||Algorithm error; size1=5 size2=3\n");
  EXPECT_EQ(Said([&] { return Formula1(one, none, pw, none, none, none); }), "F||");
}

TEST(Formula1Plain, ProductOfConditionalFrequencies) {
  // Counts a:2 b:4, a b:1 b c:2; document a b c of total 3: (2/3)(1/2)(2/4).
  CShingleSet doc = Built("a b c\n", 1), pairs = Built("a b c\n", 2);
  std::set<CShingle> words = Trained("a a b b b b\n", 1).set;
  std::set<CShingle> pair_model = Trained("a b. b c. b c.\n", 2).set;
  EXPECT_EQ(Formula1(doc, pairs, words, pair_model), 1.0 * (2.0 / 3) * (1.0 / 2) * (2.0 / 4));

  CShingleSet one = Built("a\n", 1), none;
  EXPECT_EQ(Formula1(one, none, words, pair_model), 1.0);
  EXPECT_EQ(Said([&] { return Formula1(none, none, words, pair_model) == 0.0; }),
            "T||Algorithm error\n");
}

}  // namespace
