#include <iostream>

#include "compat/formula_lines.h"
#include "compat/formulas.h"
#include "compat/lm_common.h"
#include "compat/messages.h"
#include "compat/settings.h"

bool Formula2(CShingleSet& doc, CShingleSet& doc_pairs, CShingleSet& protected_words,
              CShingleSet& unprotected_words, CShingleSet& protected_pairs,
              CShingleSet& unprotected_pairs) {
  // The document's total is checked here: the flat document has none.
  if (!doc.list.empty() && doc.total == 0) {
    std::cerr << messages::kEmptyDocMessage;
    return false;
  }
  const lm::Model model =
      lm::ModelOf(protected_words, unprotected_words, protected_pairs, unprotected_pairs);
  const lm::ListDocument document(doc, &doc_pairs);
  const lm::Result result = lm::Formula2(document.View(), model, lm::CurrentSettings());
  lm::WriteFormulaOutput(2, result, std::cout, std::cerr);
  return result.verdict;
}

// Interpolated bigram probability with fixed weights 0.5 over at most the
// first ten positions.
double Formula2(CShingleSet& doc, CShingleSet& doc_pairs, std::set<CShingle>& word_model,
                std::set<CShingle>& pair_model) {
  constexpr size_t kMaxPositions = 10;
  if (doc.list.size() != doc_pairs.list.size() + 1) {
    std::cerr << messages::kShortSizeError;
    return 0.0;
  }
  if (doc.total == 0) {
    std::cerr << messages::kEmptyDocMessage;
    return 0.0;
  }
  if (doc_pairs.list.empty()) return 1.0;
  double p = 1.0;
  const double total = doc.total;
  auto word = doc.list.begin();
  size_t j = 0;
  for (auto pair = doc_pairs.list.begin(); pair != doc_pairs.list.end() && j < kMaxPositions;
       ++pair, ++j) {
    const CShingle& first = *word;
    const CShingle& second = *++word;
    const double cb = lm::CountIn(pair_model, *pair);
    const double c1 = lm::CountIn(word_model, first);
    const double c2 = lm::CountIn(word_model, second);
    const double pb = ((cb * 0.5 + 1) - 0.5) / total;
    const double p1 = ((c1 * 0.5 + 1) - 0.5) / total;
    if (j == 0) p = p * p1;
    if (pb != 0) {
      const double p2 = ((c2 * 0.5 + 1) - 0.5) / total;
      p = p * ((p1 * 0.5) / pb + p2 * 0.5);
    }
  }
  return p;
}
