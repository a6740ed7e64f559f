#include "scoring/shingle_judge.h"

#include <vector>

#include "core/document.h"

ShingleResult JudgeShingles(const TextWords& words, int32_t length, const SidesIndex& shingles,
                            const ScoringOptions& scoring) {
  const std::vector<Digest> digests = DistinctShingles(words, length);
  std::vector<int32_t> sides(digests.size());
  shingles.SidesMany(digests.data(), digests.size(), sides.data());
  int32_t matches[4] = {0, 0, 0, 0};  // by the sides that hold a shingle
  for (int32_t held_by : sides) ++matches[held_by];
  ShingleResult result;
  result.protected_count = matches[SidesIndex::kProtected];
  result.unprotected_count = matches[SidesIndex::kUnprotected];
  result.common_count = matches[SidesIndex::kProtected | SidesIndex::kUnprotected];
  result.distinct = static_cast<int64_t>(digests.size());
  result.scaled = result.distinct < scoring.size_threshold;
  result.verdict = ShingleVerdict(result.protected_count, result.distinct, scoring);
  return result;
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
