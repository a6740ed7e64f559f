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

// Two slots' sets joined into one index, the sets released.
template <typename Set>
SidesIndex JoinSlots(Set (&sets)[kModelSlots], int protected_slot, int unprotected_slot,
                     size_t threads) {
  SidesIndex joined =
      SidesIndex::Join(RecordsOf(sets[protected_slot]), RecordsOf(sets[unprotected_slot]), threads);
  Release(sets[protected_slot]), Release(sets[unprotected_slot]);
  return joined;
}

// Shingles or pairs as judging looks them up. Trained sets are joined: they
// are in memory already and in order. Set files are kept as read, behind
// one filter of both sides (shared with other processes where the files are
// immutable): a digest of a document that neither side holds, as most are,
// stops at that filter, and the few that pass it are looked up on each
// side; joining would copy every record once more before the first
// document.
SidesIndex LookUpIndex(FlatSet (&sets)[kModelSlots], int protected_slot, int unprotected_slot,
                       size_t threads) {
  return JoinSlots(sets, protected_slot, unprotected_slot, threads);
}
SidesIndex LookUpIndex(CountIndex (&files)[kModelSlots], int protected_slot,
                       int unprotected_slot, size_t threads) {
  return SidesIndex::Share(std::move(files[protected_slot]), std::move(files[unprotected_slot]),
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
  if (!language_model) {
    model.shingles = LookUpIndex(sets, kProtectedWords, kUnprotectedWords, threads);
    return model;
  }
  model.words = JoinSlots(sets, kProtectedWords, kUnprotectedWords, threads);
  if (exclusive_pairs)
    JoinExclusivePairs(TakeFlat(sets[kProtectedPairs]), TakeFlat(sets[kUnprotectedPairs]), threads,
                       model);
  else
    model.pairs = LookUpIndex(sets, kProtectedPairs, kUnprotectedPairs, threads);
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
