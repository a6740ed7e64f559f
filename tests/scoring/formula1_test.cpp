#include <gtest/gtest.h>

#include "scoring/formulas.h"
#include "scoring/lm_test_util.h"

namespace {

// A document judged against protected sets that know the given words and
// pairs and unprotected sets that know nothing; all sets as loaded from files
// (counts 1, totals 0), so a known word scores 1 / 0.01 = 100 and a known
// pair following a known word 1 / 1.01.
class Formula1Test : public LmSettingsTest {
 protected:
  bool Judge(const std::string& text, const std::string& known) {
    CShingleSet doc = Built(text, 1);
    CShingleSet doc_pairs = Built(text, 2);
    CShingleSet pw = Loaded(known, 1), pp = Loaded(known, 2), uw, up;
    return Formula1(doc, doc_pairs, pw, uw, pp, up);
  }
};

TEST_F(Formula1Test, TwoWordDocumentWithAndWithoutLogarithms) {
  {
    // S_P = 100 * (1 / 1.01) = 99.0099..., S_U = 0 * (0 / 0.01) = 0.
    Captured io;
    EXPECT_TRUE(Judge("A B\n", "A B\n"));
    EXPECT_EQ(io.out(), "values: \t99.0099\t0\nstring:\nA B\n");
    EXPECT_EQ(io.err(), "");
  }
  lm_log = true;
  {
    // S_P = ln 101 + ln(1 + 1 / 1.01) = 4.61512 + 0.688184, S_U = ln 1 + ln 1.
    Captured io;
    EXPECT_TRUE(Judge("A B\n", "A B\n"));
    EXPECT_EQ(io.out(), "values: \t5.3033\t0\nstring:\nA B\n");
  }
  {
    // Neither side knows the document: S_P = S_U = 0 and S_P > 0 fails.
    lm_log = false;
    Captured io;
    EXPECT_FALSE(Judge("A B\n", "C D\n"));
    EXPECT_EQ(io.out(), "");
  }
}

TEST_F(Formula1Test, WindowsOfTwoPairsSlideOnePairAtATime) {
  // With every word and pair known, every window is a hit; Detailed keeps the
  // scan going so each evaluated window prints its values line. With
  // lm_length 2 a full window scores 100 / 1.01 / 1.01 = 98.0296 and its
  // phrase is w(j); a shorter document is scored once on its partial window.
  Detailed = true;
  lm_length = 2;
  struct Case {
    const char* text;
    const char* out;
  } cases[] = {
      {"a b\n", "values: \t99.0099\t0\ncount: 1 string: a\n"},
      {"a b c\n", "values: \t98.0296\t0\ncount: 1 string: b\n"},
      {"a b a b a\n",
       "values: \t98.0296\t0\nvalues: \t98.0296\t0\nvalues: \t98.0296\t0\n"
       "count: 1 string: a\ncount: 2 string: b\n"},
  };
  for (const Case& c : cases) {
    Captured io;
    EXPECT_TRUE(Judge(c.text, c.text)) << c.text;
    EXPECT_EQ(io.out(), c.out) << c.text;
  }
}

TEST_F(Formula1Test, WindowOfOnePairHasAnEmptyPhrase) {
  // Only the last pair is known: the first window fails, the second hits
  // with 100 * (1 / 1.01).
  lm_length = 1;
  Captured io;
  EXPECT_TRUE(Judge("x b c\n", "b c\n"));
  EXPECT_EQ(io.out(), "values: \t99.0099\t0\nstring:\n\n");
}

TEST_F(Formula1Test, LongDocumentIsScoredFromItsFirstFullWindow) {
  // lm_length 3: the first window ends at j = 2 and covers pairs 0 to 2:
  // 100 / 1.01^3 = 97.059; its phrase is w1 w2.
  lm_length = 3;
  Captured io;
  EXPECT_TRUE(Judge("a b c d e\n", "a b c d e\n"));
  EXPECT_EQ(io.out(), "values: \t97.059\t0\nstring:\nb c\n");
}

TEST_F(Formula1Test, NegativeAndZeroWindowLengths) {
  {
    // A negative length is longer than any window: one score over all three
    // pairs at the last position, with an empty phrase.
    lm_length = -1;
    Captured io;
    EXPECT_TRUE(Judge("a b c d\n", "a b c d\n"));
    EXPECT_EQ(io.out(), "values: \t97.059\t0\nstring:\n\n");
  }
  {
    lm_length = 0;
    Captured io;
    EXPECT_FALSE(Judge("a b c d\n", "a b c d\n"));
    EXPECT_EQ(io.out() + io.err(), "");
  }
}

TEST_F(Formula1Test, MarginAndThresholds) {
  // 99.0099 clears a threshold of 99 on its own, not one of 100, and then
  // needs S_P >= S_U + factor.
  Captured io;
  lm_threshold_1 = 100;
  lm_factor = 99;
  EXPECT_TRUE(Judge("A B\n", "A B\n"));
  lm_factor = 100;
  EXPECT_FALSE(Judge("A B\n", "A B\n"));
  lm_threshold_1 = 99;
  EXPECT_TRUE(Judge("A B\n", "A B\n"));
  // An unprotected score must stay below lm_threshold_2.
  lm_threshold_2 = 0;
  EXPECT_FALSE(Judge("A B\n", "A B\n"));
}

TEST_F(Formula1Test, MalformedDocumentsAreReported) {
  CShingleSet none, pw = Loaded("a\n", 1);
  {
    Captured io;
    EXPECT_FALSE(Formula1(none, none, pw, none, none, none));
    EXPECT_EQ(io.err(), "Error: empty doc shingles\n");
  }
  {
    CShingleSet doc = Built("a b c d e\n", 1), pairs = Built("a b c d\n", 2);
    Captured io;
    EXPECT_FALSE(Formula1(doc, pairs, pw, none, none, none));
    EXPECT_EQ(io.err(), "Algorithm error; size1=5 size2=3\n");
  }
  {
    // One word, no pairs: nothing to score, nothing said.
    CShingleSet doc = Built("a\n", 1);
    Captured io;
    EXPECT_FALSE(Formula1(doc, none, pw, none, none, none));
    EXPECT_EQ(io.out() + io.err(), "");
  }
}

TEST(Formula1Plain, ProductOfConditionalFrequencies) {
  // Counts a:2 b:4, a b:1 b c:2; document a b c with total 3:
  // (2/3) * (1/2) * (2/4), multiplied in that order.
  CShingleSet doc = Built("a b c\n", 1), pairs = Built("a b c\n", 2);
  std::set<CShingle> words = Trained("a a b b b b\n", 1).set;
  std::set<CShingle> pair_model = Trained("a b. b c. b c.\n", 2).set;
  EXPECT_EQ(Formula1(doc, pairs, words, pair_model), 1.0 * (2.0 / 3) * (1.0 / 2) * (2.0 / 4));

  CShingleSet one = Built("a\n", 1), none;
  EXPECT_EQ(Formula1(one, none, words, pair_model), 1.0);
  Captured io;
  EXPECT_EQ(Formula1(none, none, words, pair_model), 0.0);
  EXPECT_EQ(io.err(), "Algorithm error\n");
}

}  // namespace
