#include "scoring/shingle_judge.h"

#include <cmath>
#include <limits>
#include <vector>

#include "core/document.h"

namespace {

// Adds each digest to matches[the sides that hold it].
void CountSides(const Digest* digests, size_t count, const SidesIndex& shingles,
                int32_t matches[4]) {
  std::vector<int32_t> sides(count);
  shingles.SidesMany(digests, count, sides.data());
  for (int32_t held_by : sides) ++matches[held_by];
}

ShingleResult ResultOf(const int32_t matches[4], int64_t distinct, const ScoringOptions& scoring) {
  ShingleResult result;
  result.protected_count = matches[SidesIndex::kProtected];
  result.unprotected_count = matches[SidesIndex::kUnprotected];
  result.common_count = matches[SidesIndex::kProtected | SidesIndex::kUnprotected];
  result.distinct = distinct;
  result.scaled = result.distinct < scoring.size_threshold;
  result.verdict = ShingleVerdict(result.protected_count, result.distinct, scoring);
  result.score = ShingleScore(result.protected_count, result.distinct, scoring);
  return result;
}

}  // namespace

ShingleResult JudgeShingles(const TextWords& words, int32_t length, const SidesIndex& shingles,
                            const ScoringOptions& scoring) {
  return JudgeDistinctShingles(DistinctShingles(words, length), shingles, scoring);
}

ShingleResult JudgeDistinctShingles(const std::vector<Digest>& digests, const SidesIndex& shingles,
                                    const ScoringOptions& scoring) {
  int32_t matches[4] = {0, 0, 0, 0};
  CountSides(digests.data(), digests.size(), shingles, matches);
  return ResultOf(matches, static_cast<int64_t>(digests.size()), scoring);
}

ShingleResult JudgeDistinctShingles(const ShingleStream& stream, const SidesIndex& shingles,
                                    const ScoringOptions& scoring) {
  int32_t matches[4] = {0, 0, 0, 0};
  stream.ForEachBlock([&](const Digest* digests, size_t count) {
    CountSides(digests, count, shingles, matches);
  });
  return ResultOf(matches, static_cast<int64_t>(stream.size()), scoring);
}

bool ShingleVerdict(int32_t protected_count, int64_t distinct, const ScoringOptions& scoring) {
  const int64_t max_threshold = scoring.max_threshold;
  const int64_t size_threshold = scoring.size_threshold;
  // Nothing was found in a document without shingles, whatever the
  // threshold scaled to.
  if (distinct == 0) return false;
  if (distinct >= size_threshold) return protected_count >= max_threshold;
  return protected_count * size_threshold >= distinct * max_threshold;
}

double ShingleScore(int32_t protected_count, int64_t distinct, const ScoringOptions& scoring) {
  const int64_t size_threshold = scoring.size_threshold;
  const double threshold = scoring.max_threshold;
  const bool verdict = ShingleVerdict(protected_count, distinct, scoring);
  double score = 0.0;
  if (distinct >= size_threshold)
    score = protected_count;
  else if (distinct != 0)
    score = static_cast<double>(protected_count * size_threshold) / static_cast<double>(distinct);
  // A document without shingles never passes, even a threshold of 0 or below.
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  if (verdict && !(score >= threshold)) score = threshold;
  if (!verdict && score >= threshold) score = std::nextafter(threshold, -kInfinity);
  return score;
}
