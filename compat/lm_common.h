// The CShingleSet forms of the engine's look-ups: count look-up in the
// std::set of a CShingleSet, the formula core's model and document, and a
// CountIndex of a set.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "compat/shingle.h"
#include "core/digest_index.h"
#include "scoring/formula_core.h"

namespace lm {

// Count of the record with the shingle's digest, 0 when there is none.
inline int32_t CountIn(const std::set<CShingle>& model, const CShingle& shingle) {
  auto found = model.find(shingle);
  return found == model.end() ? 0 : found->count;
}

// A trained CShingleSet: counts from its set, N = its list's size, T = total.
CountLookup LookupOf(const CShingleSet& trained);
// The four trained sets of the six-set formulas as their model.
Model ModelOf(const CShingleSet& protected_words, const CShingleSet& unprotected_words,
              const CShingleSet& protected_pairs, const CShingleSet& unprotected_pairs);

// The document's lists copied flat: digests in list order and the texts of
// the words for the hit phrase. The lists must outlive the view.
class ListDocument {
 public:
  ListDocument(const CShingleSet& words, const CShingleSet* pairs);
  Document View() const;

 private:
  std::vector<Digest> words_;
  std::vector<Digest> pairs_;
  std::vector<const std::string*> texts_;
};

}  // namespace lm

// The counts ConvertToSet gives: the first record of each digest in list
// order. N is the list's size, T its total.
CountIndex IndexOfSet(const CShingleSet& shingles);
