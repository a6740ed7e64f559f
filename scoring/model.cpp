#include "scoring/model.h"

#include <utility>

namespace {

void Release(FlatSet& set) { set = FlatSet(); }
void Release(CountIndex& index) { index = CountIndex(); }

// A set as a flat set of its own, the set released.
FlatSet TakeFlat(FlatSet& set) { return std::move(set); }
FlatSet TakeFlat(CountIndex& index) {
  FlatSet flat;
  flat.digests.assign(index.begin(), index.end());
  Release(index);
  return flat;
}

// Both sides' pairs as judging reads them: trained sets joined; set files
// kept as read, behind one filter (shared with other processes where the
// files are immutable).
SidesIndex PairsOf(FlatSet (&sets)[kModelSlots], size_t threads) {
  SidesIndex pairs =
      SidesIndex::Join(RecordsOf(sets[kProtectedPairs]), RecordsOf(sets[kUnprotectedPairs]), threads);
  Release(sets[kProtectedPairs]), Release(sets[kUnprotectedPairs]);
  return pairs;
}
SidesIndex PairsOf(CountIndex (&files)[kModelSlots], size_t threads) {
  return SidesIndex::Share(std::move(files[kProtectedPairs]), std::move(files[kUnprotectedPairs]),
                           threads);
}

// The pairs both sides hold move to the common set; the rest are joined.
void JoinExclusivePairs(FlatSet protected_pairs, FlatSet unprotected_pairs, size_t threads,
                        Model& model) {
  FlatSet common;
  Common(protected_pairs, unprotected_pairs, common);
  model.common_pairs = CountIndex::FromFlat(std::move(common));
  model.pairs =
      SidesIndex::Join(RecordsOf(protected_pairs), RecordsOf(unprotected_pairs), threads);
}

template <typename Set>
Model Prepare(Set (&sets)[kModelSlots], bool language_model, bool exclusive_pairs,
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
  if (exclusive_pairs)
    JoinExclusivePairs(TakeFlat(sets[kProtectedPairs]), TakeFlat(sets[kUnprotectedPairs]), threads,
                       model);
  else
    model.pairs = PairsOf(sets, threads);
  return model;
}

}  // namespace

Model PrepareModel(FlatSet (&sets)[kModelSlots], bool language_model, bool exclusive_pairs,
                   size_t threads) {
  return Prepare(sets, language_model, exclusive_pairs, threads);
}

Model PrepareModel(CountIndex (&files)[kModelSlots], bool language_model, bool exclusive_pairs,
                   size_t threads) {
  return Prepare(files, language_model, exclusive_pairs, threads);
}
