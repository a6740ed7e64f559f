// The formulas' forms over bare sets, and their error lines, which the tool
// never reaches: its documents always have matching word and pair lists.
#include "scoring/formulas.h"

#include "support/test_support.h"

namespace {

TEST(FourArgumentFormulas, ProductsOfConditionalFrequencies) {
  // Counts a:2 b:4, a b:1 b c:2; document a b c of total 3: (2/3)(1/2)(2/4).
  CShingleSet doc = Built("a b c\n", 1), pairs = Built("a b c\n", 2), one = Built("a\n", 1), none;
  std::set<CShingle> words = Trained("a a b b b b\n", 1).set;
  std::set<CShingle> pair_model = Trained("a b. b c. b c.\n", 2).set;
  EXPECT_EQ(Formula1(doc, pairs, words, pair_model), 1.0 * (2.0 / 3) * (1.0 / 2) * (2.0 / 4));
  EXPECT_EQ(Formula1(one, none, words, pair_model), 1.0);
  EXPECT_EQ(Said([&] { return Formula1(none, none, words, pair_model) == 0.0; }), "T||Algorithm error\n");

  // Empty models, twelve words: every frequency is 0.5 / 12; the first word's
  // once, then each of the first ten positions (p1 * 0.5) / pB + p2 * 0.5.
  const std::string text = "a b c d e f g h i j k l\n";
  CShingleSet long_doc = Built(text, 1), long_pairs = Built(text, 2);
  std::set<CShingle> empty;
  const double f = ((0 * 0.5 + 1) - 0.5) / 12.0;
  double expected = 1.0 * f;
  for (int j = 0; j < 10; ++j) expected = expected * ((f * 0.5) / f + f * 0.5);
  EXPECT_EQ(Formula2(long_doc, long_pairs, empty, empty), expected);
  EXPECT_EQ(Formula2(one, none, empty, empty), 1.0);
  EXPECT_EQ(Said([&] { return Formula2(none, none, empty, empty) == 0.0; }), "T||Algorithm error\n");
  one.total = 0;
  EXPECT_EQ(Said([&] { return Formula2(one, none, empty, empty) == 0.0; }), "T||Error: empty doc shingles\n");
}

TEST(Formulas, MalformedDocumentsAreReported) {
  CShingleSet none, pw = Loaded("a\n", 1), unbuilt = Loaded("a b\n", 1), pairs = Built("a b\n", 2);
  CShingleSet doc = Built("a b c d e\n", 1), short_pairs = Built("a b c d\n", 2);
  const std::string mismatch = "F||Algorithm error; size1=5 size2=3\n", empty = "F||Error: empty doc shingles\n";
  EXPECT_EQ(Said([&] { return Formula1(none, none, pw, none, none, none); }), empty);
  EXPECT_EQ(Said([&] { return Formula1(doc, short_pairs, pw, none, none, none); }), mismatch);
  EXPECT_EQ(Said([&] { return Formula2(none, none, pw, none, none, none); }), empty);
  EXPECT_EQ(Said([&] { return Formula2(unbuilt, pairs, pw, none, none, none); }), empty);
  EXPECT_EQ(Said([&] { return Formula2(doc, short_pairs, pw, none, none, none); }), mismatch);
  EXPECT_EQ(Said([&] { return Formula3(none, pw, none); }), empty);
}

}  // namespace
