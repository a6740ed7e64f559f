// The graded scores of the JSON records: each passes its threshold exactly
// when the verdict is true, in floating point, over the whole range of the
// counts and settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "scoring/formula_core.h"
#include "scoring/shingle_judge.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

void ExpectShingleScorePasses(int32_t p, int64_t d, int32_t s, int32_t m) {
  ScoringOptions scoring;
  scoring.size_threshold = s, scoring.max_threshold = m;
  const double score = ShingleScore(p, d, scoring);
  ASSERT_EQ(score >= m, ShingleVerdict(p, d, scoring))
      << "P " << p << " D " << d << " S " << s << " M " << m << " score " << score;
}

// Every small case, then quotients next to the threshold where distinct *
// max_threshold is far beyond 2^53 and the division rounds.
TEST(ShingleScore, PassesTheThresholdExactlyWithTheVerdict) {
  for (int32_t s = 0; s <= 24; ++s)
    for (int32_t m = 0; m <= 24; ++m)
      for (int64_t d = 0; d <= 30; ++d)
        for (int32_t p = 0; p <= d; ++p) ExpectShingleScorePasses(p, d, s, m);
  std::mt19937_64 random(7);
  const int32_t kMax = std::numeric_limits<int32_t>::max();
  for (int i = 0; i < 200000; ++i) {
    const int32_t s = kMax - static_cast<int32_t>(random() % 1000);
    const int32_t m = kMax - static_cast<int32_t>(random() % 1000);
    const int64_t d = 1 + static_cast<int64_t>(random() % static_cast<uint64_t>(s - 1));
    // P with P * S next to D * M.
    const int64_t p = d * m / s + static_cast<int64_t>(random() % 3) - 1;
    if (p < 0 || p > kMax) continue;
    ExpectShingleScorePasses(static_cast<int32_t>(p), d, s, m);
  }
  ScoringOptions defaults;
  defaults.size_threshold = 100, defaults.max_threshold = 10;
  EXPECT_EQ(ShingleScore(4, 37, defaults), 4.0 * 100 / 37);  // P scaled to the size
  EXPECT_EQ(ShingleScore(44, 132107, defaults), 44.0);
  EXPECT_EQ(ShingleScore(0, 0, defaults), 0.0);
}

// The formulas' test as the user guide states it.
bool Hit(double sp, double su, double margin, const lm::Settings& s) {
  if (s.log) return sp >= su + margin;
  return su < s.threshold_2 && (sp >= s.threshold_1 || (sp >= su + margin && sp > 0));
}

// Scores, margins and thresholds at and around the places where a
// comparison turns: equal operands, zeros, the smallest doubles,
// infinities and not-a-number.
TEST(WindowMargin, PassesExactlyForAHit) {
  const double denormal = std::numeric_limits<double>::denorm_min();
  const double values[] = {-kInf, -2, -1, -denormal, 0, denormal, 1e-300, 0.25,
                           0.75, 1, 1 + 1e-16, 2, kInf, std::nan("")};
  int hits = 0, cases = 0;
  for (bool log : {false, true})
    for (double t1 : {0.0, 0.75, 1.0, kInf})
      for (double t2 : {0.0, 1.0, kInf})
        for (double margin : {-1.0, 0.0, 0.25, 1.0})
          for (double sp : values)
            for (double su : values) {
              lm::Settings settings;
              settings.log = log, settings.threshold_1 = t1, settings.threshold_2 = t2;
              const bool hit = Hit(sp, su, margin, settings);
              ASSERT_EQ(lm::WindowMargin(sp, su, margin, settings) >= 0, hit)
                  << "log " << log << " t1 " << t1 << " t2 " << t2 << " margin " << margin
                  << " sp " << sp << " su " << su;
              hits += hit, ++cases;
            }
  EXPECT_GT(hits, cases / 5);
  EXPECT_LT(hits, cases - cases / 5);
  // Graded: a protected score further past its bound ranks higher.
  lm::Settings defaults;
  const auto margin = [&](double sp, double su) { return lm::WindowMargin(sp, su, 0.0, defaults); };
  EXPECT_LT(margin(0.001, 0.0), margin(0.01, 0.0));
  EXPECT_LT(margin(0.0, 0.5), margin(0.0, 0.1));
}

}  // namespace
