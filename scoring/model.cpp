#include "scoring/model.h"

#include <utility>

namespace {

void Release(FlatSet& set) { set = FlatSet(); }

FlatSet DigestsOf(const CountIndex& index) {
  FlatSet flat;
  flat.digests.assign(index.begin(), index.end());
  return flat;
}

// The pairs both sides hold move to the common set; the rest are joined.
void JoinExclusivePairs(FlatSet& protected_pairs, FlatSet& unprotected_pairs, size_t threads,
                        Model& model) {
  FlatSet common;
  Common(protected_pairs, unprotected_pairs, common);
  model.common_pairs = CountIndex::FromFlat(std::move(common));
  model.pairs =
      SidesIndex::Join(RecordsOf(protected_pairs), RecordsOf(unprotected_pairs), threads);
  Release(protected_pairs), Release(unprotected_pairs);
}

}  // namespace

Model PrepareModel(FlatSet (&sets)[kModelSlots], bool language_model, bool exclusive_pairs,
                   size_t threads) {
  Model model;
  model.language_model = language_model;
  SidesIndex first =
      SidesIndex::Join(RecordsOf(sets[kProtectedWords]), RecordsOf(sets[kUnprotectedWords]), threads);
  Release(sets[kProtectedWords]), Release(sets[kUnprotectedWords]);
  if (!language_model) {
    model.shingles = std::move(first);
    return model;
  }
  model.words = std::move(first);
  if (exclusive_pairs) {
    JoinExclusivePairs(sets[kProtectedPairs], sets[kUnprotectedPairs], threads, model);
    return model;
  }
  model.pairs = SidesIndex::Join(RecordsOf(sets[kProtectedPairs]), RecordsOf(sets[kUnprotectedPairs]),
                                 threads);
  Release(sets[kProtectedPairs]), Release(sets[kUnprotectedPairs]);
  return model;
}

Model PrepareModel(CountIndex (&files)[kModelSlots], bool language_model, bool exclusive_pairs,
                   size_t threads) {
  Model model;
  model.language_model = language_model;
  SidesIndex first =
      SidesIndex::Join(RecordsOf(files[kProtectedWords]), RecordsOf(files[kUnprotectedWords]), threads);
  files[kProtectedWords] = CountIndex(), files[kUnprotectedWords] = CountIndex();
  if (!language_model) {
    model.shingles = std::move(first);
    return model;
  }
  model.words = std::move(first);
  if (exclusive_pairs) {
    FlatSet protected_pairs = DigestsOf(files[kProtectedPairs]);
    FlatSet unprotected_pairs = DigestsOf(files[kUnprotectedPairs]);
    files[kProtectedPairs] = CountIndex(), files[kUnprotectedPairs] = CountIndex();
    JoinExclusivePairs(protected_pairs, unprotected_pairs, threads, model);
    return model;
  }
  model.pairs = SidesIndex::Share(std::move(files[kProtectedPairs]),
                                  std::move(files[kUnprotectedPairs]));
  return model;
}
