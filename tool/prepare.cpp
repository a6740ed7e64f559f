#include "tool/prepare.h"

#include "core/settings.h"

namespace {

constexpr char kPairSuffix[] = ".2";

FlatSet DigestsOf(const CountIndex& index) {
  FlatSet flat;
  flat.digests.assign(index.begin(), index.end());
  return flat;
}

void SubtractPairs(FlatSet protected_pairs, FlatSet unprotected_pairs, JudgingModel& model) {
  FlatSet common;
  Common(protected_pairs, unprotected_pairs, common);
  model.protected_pairs = CountIndex::FromFlat(std::move(protected_pairs));
  model.unprotected_pairs = CountIndex::FromFlat(std::move(unprotected_pairs));
  model.common_set = CountIndex::FromFlat(std::move(common));
}

}  // namespace

void PrepareTrained(TrainedSets& sets, bool language_model, JudgingModel& model) {
  model.protected_set = CountIndex::FromFlat(std::move(sets.protected_set));
  model.unprotected_set = CountIndex::FromFlat(std::move(sets.unprotected_set));
  if (!language_model) return;
  if (lm_sub) {
    SubtractPairs(std::move(sets.protected_pairs), std::move(sets.unprotected_pairs), model);
    return;
  }
  model.protected_pairs = CountIndex::FromFlat(std::move(sets.protected_pairs));
  model.unprotected_pairs = CountIndex::FromFlat(std::move(sets.unprotected_pairs));
}

bool LoadJudgingModel(const RunSettings& settings, bool language_model, JudgingModel& model) {
  // Every file is tried, so that each one that fails is reported.
  bool loaded = CountIndex::Load(settings.ProtectedFiles, model.protected_set);
  if (language_model)
    loaded = CountIndex::Load(settings.ProtectedFiles + kPairSuffix, model.protected_pairs) &&
             loaded;
  if (!settings.UnprotectedFiles.empty()) {
    loaded = CountIndex::Load(settings.UnprotectedFiles, model.unprotected_set) && loaded;
    if (language_model)
      loaded =
          CountIndex::Load(settings.UnprotectedFiles + kPairSuffix, model.unprotected_pairs) &&
          loaded;
  }
  return loaded;
}

void SubtractLoadedPairs(JudgingModel& model) {
  SubtractPairs(DigestsOf(model.protected_pairs), DigestsOf(model.unprotected_pairs), model);
}

void JoinSides(JudgingModel& model) {
  const Digest *a = model.protected_set.begin(), *a_end = model.protected_set.end();
  const Digest *b = model.unprotected_set.begin(), *b_end = model.unprotected_set.end();
  FlatSet joined;
  ReserveLarge(joined.digests, model.protected_set.size() + model.unprotected_set.size());
  ReserveLarge(joined.counts, joined.digests.capacity());
  auto join = [&](const Digest& digest, int32_t sides) {
    if (!joined.digests.empty() && joined.digests.back() == digest) return;  // a duplicate
    joined.digests.push_back(digest);
    joined.counts.push_back(sides);
  };
  while (a != a_end && b != b_end) {
    if (*a < *b) {
      join(*a++, JudgingModel::kProtectedSide);
    } else if (*b < *a) {
      join(*b++, JudgingModel::kUnprotectedSide);
    } else {
      join(*a, JudgingModel::kProtectedSide | JudgingModel::kUnprotectedSide);
      ++a;
      ++b;
    }
  }
  for (; a != a_end; ++a) join(*a, JudgingModel::kProtectedSide);
  for (; b != b_end; ++b) join(*b, JudgingModel::kUnprotectedSide);
  model.shingle_sides = CountIndex::FromFlat(std::move(joined));
  model.protected_set = CountIndex();
  model.unprotected_set = CountIndex();
}
