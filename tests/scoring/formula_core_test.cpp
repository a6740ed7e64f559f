#include "scoring/formula_core.h"

#include <gtest/gtest.h>

#include <sstream>

#include "scoring/lm_common.h"
#include "support/test_support.h"

namespace {

// Detailed Formula1 goes on after its first hit; the result keeps that first
// window, and a call without streams says nothing.
TEST(FormulaCore, DetailedResultIsTheFirstHit) {
  // The word c is unknown: its pair c d scores 1 / 0.01.
  CShingleSet doc = Built("a b c d\n", 1), pairs = Built("a b c d\n", 2);
  CShingleSet pw = Loaded("a b d\n", 1), pp = Loaded("a b c d\n", 2), none;
  const lm::Model model{lm::LookupOf(pw), lm::LookupOf(none), lm::LookupOf(pp),
                        lm::LookupOf(none)};
  const lm::ListDocument document(doc, &pairs);
  lm::Settings settings;
  settings.length = 2;
  settings.detailed = true;
  std::ostringstream out;
  const lm::Result loud = lm::Formula1(document.View(), model, settings, {&out, nullptr});
  EXPECT_EQ(out.str(), "values: \t98.0296\t0\nvalues: \t9900.99\t0\n"
                       "count: 1 string: b\ncount: 1 string: c\n");
  const lm::Result silent = lm::Formula1(document.View(), model, settings, {});
  for (const lm::Result& result : {loud, silent}) {
    EXPECT_TRUE(result.verdict);
    EXPECT_EQ(result.protected_score, 100 * (1 / 1.01) * (1 / 1.01));
    EXPECT_EQ(result.phrase_first, 1u);
    EXPECT_EQ(result.phrase_words, 1u);
  }
}

}  // namespace
