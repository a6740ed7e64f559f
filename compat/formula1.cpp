#include <iostream>

#include "compat/formula_lines.h"
#include "compat/formulas.h"
#include "compat/lm_common.h"
#include "compat/messages.h"
#include "compat/settings.h"

bool Formula1(CShingleSet& doc, CShingleSet& doc_pairs, CShingleSet& protected_words,
              CShingleSet& unprotected_words, CShingleSet& protected_pairs,
              CShingleSet& unprotected_pairs) {
  const lm::Model model =
      lm::ModelOf(protected_words, unprotected_words, protected_pairs, unprotected_pairs);
  const lm::ListDocument document(doc, &doc_pairs);
  const lm::Result result = lm::Formula1(document.View(), model, lm::CurrentSettings());
  lm::WriteFormulaOutput(1, result, std::cout, std::cerr);
  return result.verdict;
}

// Unsmoothed bigram probability of the whole document under one model.
double Formula1(CShingleSet& doc, CShingleSet& doc_pairs, std::set<CShingle>& word_model,
                std::set<CShingle>& pair_model) {
  if (doc.list.size() != doc_pairs.list.size() + 1) {
    std::cerr << messages::kShortSizeError;
    return 0.0;
  }
  double p = 1.0;
  if (doc_pairs.list.empty()) return p;
  const double total = doc.total;
  auto word = doc.list.begin();
  bool first = true;
  for (const CShingle& pair : doc_pairs.list) {
    const double cb = lm::CountIn(pair_model, pair);
    const double cw = lm::CountIn(word_model, *word);
    if (first) p = p * (cw / total);
    first = false;
    if (cw != 0) p = p * (cb / cw);
    ++word;
  }
  return p;
}
