#include "tool/prepare.h"

#include <algorithm>
#include <cstring>
#include <numeric>

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
  MoveShared(protected_pairs, unprotected_pairs, common);
  model.protected_pairs = CountIndex::FromFlat(protected_pairs);
  model.unprotected_pairs = CountIndex::FromFlat(unprotected_pairs);
  model.common_set = CountIndex::FromFlat(common);
}

}  // namespace

FlatSet ToFlat(const CShingleSet& trained) {
  FlatSet flat;
  flat.total = trained.total;
  std::vector<Digest> digests;
  std::vector<int32_t> counts;
  digests.reserve(trained.list.size());
  counts.reserve(trained.list.size());
  for (const CShingle& shingle : trained.list) {
    digests.emplace_back();
    std::memcpy(digests.back().bytes, shingle.hash, kDigestSize);
    counts.push_back(shingle.count);
  }
  std::vector<size_t> order(digests.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return digests[a] < digests[b]; });
  flat.digests.reserve(order.size());
  flat.counts.reserve(order.size());
  for (size_t at : order) {
    flat.digests.push_back(digests[at]);
    flat.counts.push_back(counts[at]);
  }
  return flat;
}

void MoveShared(FlatSet& a, FlatSet& b, FlatSet& out) {
  const bool a_counted = !a.counts.empty(), b_counted = !b.counts.empty();
  FlatSet kept_a, kept_b;
  kept_a.total = a.total;
  kept_b.total = b.total;
  auto keep = [](FlatSet& into, const FlatSet& from, size_t at, bool counted) {
    into.digests.push_back(from.digests[at]);
    if (counted) into.counts.push_back(from.counts[at]);
  };
  size_t ia = 0, ib = 0;
  const size_t na = a.digests.size(), nb = b.digests.size();
  while (ia < na && ib < nb) {
    if (a.digests[ia] < b.digests[ib]) {
      keep(kept_a, a, ia++, a_counted);
    } else if (b.digests[ib] < a.digests[ia]) {
      keep(kept_b, b, ib++, b_counted);
    } else {
      out.digests.push_back(a.digests[ia]);
      if (a_counted) out.counts.push_back(a.counts[ia]);
      ++ia;
      ++ib;
    }
  }
  while (ia < na) keep(kept_a, a, ia++, a_counted);
  while (ib < nb) keep(kept_b, b, ib++, b_counted);
  a = std::move(kept_a);
  b = std::move(kept_b);
}

void PrepareTrained(TrainedSets& sets, bool language_model, JudgingModel& model) {
  model.protected_set = CountIndex::FromFlat(ToFlat(sets.protected_set));
  model.unprotected_set = CountIndex::FromFlat(ToFlat(sets.unprotected_set));
  if (!language_model) return;
  if (lm_sub) {
    SubtractPairs(ToFlat(sets.protected_pairs), ToFlat(sets.unprotected_pairs), model);
    return;
  }
  model.protected_pairs = CountIndex::FromFlat(ToFlat(sets.protected_pairs));
  model.unprotected_pairs = CountIndex::FromFlat(ToFlat(sets.unprotected_pairs));
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
