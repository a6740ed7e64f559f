#include <algorithm>
#include <cmath>

#include "scoring/formulas.h"
#include "scoring/lm_common.h"

namespace {

// Additive smoothing of the word frequency for one side of the model.
struct Side {
  const CShingleSet& words;
  double n;      // entries of the word list
  double total;  // shingles built into the word set

  double At(const CShingle& word) const {
    const double lambda = lm_lambda;
    const double c = lm::CountIn(words, word);
    double p = (c + lambda) / ((total + n * lambda) + 0.01);
    if (lm_log) p = std::log(1 + p);
    return p;
  }
};

double Score(const std::deque<double>& window) {
  double score = lm_log ? 0.0 : 1.0;
  if (lm_log) {
    for (double p : window) score = score + p;
  } else {
    for (double p : window) score = score * p;
  }
  return score;
}

// Up to lm_length words from w(s), s = max(0, j - (lm_length - 2)) for a length
// above 2 and j otherwise, cut at the end of the document. A negative length
// has no bound, like the window tests, so it runs to the end.
void WritePhrase(const std::vector<const CShingle*>& words, size_t j) {
  const int64_t length = lm_length;
  const size_t start =
      length > 2 ? static_cast<size_t>(std::max<int64_t>(0, static_cast<int64_t>(j) - (length - 2)))
                 : j;
  const size_t count = lm::WindowLimit();
  for (size_t k = start; k < words.size() && k - start < count; ++k)
    std::cout << ' ' << words[k]->text;
}

}  // namespace

bool Formula3(CShingleSet& doc, CShingleSet& protected_words, CShingleSet& unprotected_words) {
  const Side protected_side{protected_words, static_cast<double>(protected_words.list.size()),
                            static_cast<double>(protected_words.total)};
  const Side unprotected_side{unprotected_words,
                              static_cast<double>(unprotected_words.list.size()),
                              static_cast<double>(unprotected_words.total)};
  if (lm::ReportEmpty(doc)) return false;
  if (lm::WindowUnusable()) return false;

  const std::vector<const CShingle*> words = lm::Positions(doc);
  const size_t n = words.size();
  const size_t limit = lm::WindowLimit();
  lm::Windows<double> windows;
  for (size_t j = 0; j < n; ++j) {
    windows.Append(protected_side.At(*words[j]), unprotected_side.At(*words[j]));
    if (windows.size() < limit && j + 1 < n) continue;
    windows.Trim(limit);
    const double sp = Score(windows.protected_side());
    const double su = Score(windows.unprotected_side());
    if (!lm::IsHit(sp, su, lm_factor)) continue;
    lm::WriteValues(sp, su);
    std::cout << "String:\n";
    WritePhrase(words, j);
    std::cout << '\n';
    return true;
  }
  return false;
}
