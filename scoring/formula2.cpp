#include <cmath>

#include "scoring/formulas.h"
#include "scoring/lm_common.h"

namespace {

struct Terms {
  double word;
  double pair;
};

// Frequencies smoothed towards a constant with weight lambda0; the pair term
// interpolates between the word-to-pair ratio and the next word's frequency.
struct Side {
  const CShingleSet& words;
  const CShingleSet& pairs;
  double total;

  Terms At(const CShingle& word, const CShingle& next_word, const CShingle& pair) const {
    const double lambda0 = lm_lambda0;
    const double lambda = lm_lambda;
    const double cb = lm::CountIn(pairs, pair);
    const double c1 = lm::CountIn(words, word);
    const double pb = ((cb * lambda0 + 1) - lambda0) / total;
    Terms t{((c1 * lambda0 + 1) - lambda0) / total, 1.0};
    if (pb != 0) {
      const double c2 = lm::CountIn(words, next_word);
      const double p2 = ((c2 * lambda0 + 1) - lambda0) / total;
      t.pair = (1 - lambda) * p2 + (lambda * t.word) / pb;
    }
    if (lm_log) {
      if (t.word != 0) t.word = std::log(t.word);
      if (t.pair != 0) t.pair = std::log(t.pair);
    }
    return t;
  }
};

}  // namespace

bool Formula2(CShingleSet& doc, CShingleSet& doc_pairs, CShingleSet& protected_words,
              CShingleSet& unprotected_words, CShingleSet& protected_pairs,
              CShingleSet& unprotected_pairs) {
  if (doc.list.empty() || doc.total == 0) {
    std::cerr << lm::kEmptyDocMessage;
    return false;
  }
  const size_t n = doc.list.size();
  const size_t m = doc_pairs.list.size();
  if (lm::ReportSizeMismatch(n, m)) return false;
  if (m == 0 || lm::WindowUnusable()) return false;

  const Side protected_side{protected_words, protected_pairs,
                            static_cast<double>(protected_words.total)};
  const Side unprotected_side{unprotected_words, unprotected_pairs,
                              static_cast<double>(unprotected_words.total)};
  const std::vector<const CShingle*> words = lm::Positions(doc);
  const size_t limit = lm::WindowLimit();
  lm::Windows<Terms> windows;
  size_t j = 0;
  for (auto pair = doc_pairs.list.begin(); pair != doc_pairs.list.end(); ++pair, ++j) {
    const CShingle& word = *words[j];
    const CShingle& next_word = *words[j + 1];
    windows.Append(protected_side.At(word, next_word, *pair),
                   unprotected_side.At(word, next_word, *pair));
    // Only full windows are scored; a document shorter than one never is.
    if (windows.size() < limit) {
      if (j + 1 == m) return false;
      continue;
    }
    windows.Trim(limit);
    const double sp = lm::PairWindowScore(windows.protected_side());
    const double su = lm::PairWindowScore(windows.unprotected_side());
    if (!lm::IsHit(sp, su, 0.0)) continue;
    lm::WriteValues(sp, su);
    std::cout << "String:\n";
    // The window is full here, so j >= lm_length - 1 and the first word exists.
    const int64_t length = lm_length;
    if (length >= 2) {
      for (int64_t k = static_cast<int64_t>(j) - length + 2; k <= static_cast<int64_t>(j); ++k)
        std::cout << ' ' << words[static_cast<size_t>(k)]->text;
    }
    std::cout << '\n';
    return true;
  }
  return false;
}

// Interpolated bigram probability with fixed weights 0.5 over at most the
// first ten positions.
double Formula2(CShingleSet& doc, CShingleSet& doc_pairs, std::set<CShingle>& word_model,
                std::set<CShingle>& pair_model) {
  constexpr size_t kMaxPositions = 10;
  if (doc.list.size() != doc_pairs.list.size() + 1) {
    std::cerr << lm::kShortSizeError;
    return 0.0;
  }
  if (doc.total == 0) {
    std::cerr << lm::kEmptyDocMessage;
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
