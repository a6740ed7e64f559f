#include <iostream>

#include "compat/formula_lines.h"
#include "compat/formulas.h"
#include "compat/lm_common.h"
#include "compat/settings.h"

bool Formula3(CShingleSet& doc, CShingleSet& protected_words, CShingleSet& unprotected_words) {
  lm::Model model;
  model.protected_words = lm::LookupOf(protected_words);
  model.unprotected_words = lm::LookupOf(unprotected_words);
  const lm::ListDocument document(doc, nullptr);
  const lm::Result result = lm::Formula3(document.View(), model, lm::CurrentSettings());
  lm::WriteFormulaOutput(3, result, std::cout, std::cerr);
  return result.verdict;
}
