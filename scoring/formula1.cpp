#include <algorithm>
#include <cmath>
#include <map>

#include "scoring/formulas.h"
#include "scoring/lm_common.h"

namespace {

struct Estimate {
  double word;
  double pair;
};

// Additive smoothing of the word frequency and of the pair frequency given its
// first word, for one side of the model.
struct Side {
  const CShingleSet& words;
  const CShingleSet& pairs;
  double n;      // entries of the word list
  double total;  // shingles built into the word set

  Estimate At(const CShingle& word, const CShingle& pair) const {
    const double lambda = lm_lambda;
    const double cw = lm::CountIn(words, word);
    const double cb = lm::CountIn(pairs, pair);
    Estimate e{(cw + lambda) / ((total + n * lambda) + 0.01),
               (lambda + cb) / ((n * lambda + cw) + 0.01)};
    if (lm_log) {
      e.word = std::log(1 + e.word);
      e.pair = std::log(1 + e.pair);
    }
    return e;
  }
};

// The words that end the window at position j: for a full window the
// lm_length - 1 words ending with w(j); empty when lm_length is 1 or less.
std::string HitPhrase(const std::vector<const CShingle*>& words, int64_t j) {
  std::string phrase;
  const int64_t length = lm_length;
  if (length <= 1) return phrase;
  const int64_t last = static_cast<int64_t>(words.size()) - 1;
  const int64_t start = std::max<int64_t>(0, j - (length - 2));
  const int64_t end = std::min(start + length - 2, last);
  for (int64_t k = start; k <= end; ++k) {
    if (k != start) phrase += ' ';
    phrase += words[static_cast<size_t>(k)]->text;
  }
  return phrase;
}

}  // namespace

bool Formula1(CShingleSet& doc, CShingleSet& doc_pairs, CShingleSet& protected_words,
              CShingleSet& unprotected_words, CShingleSet& protected_pairs,
              CShingleSet& unprotected_pairs) {
  const Side protected_side{protected_words, protected_pairs,
                            static_cast<double>(protected_words.list.size()),
                            static_cast<double>(protected_words.total)};
  const Side unprotected_side{unprotected_words, unprotected_pairs,
                              static_cast<double>(unprotected_words.list.size()),
                              static_cast<double>(unprotected_words.total)};
  if (lm::ReportEmpty(doc)) return false;
  const size_t n = doc.list.size();
  const size_t m = doc_pairs.list.size();
  if (lm::ReportSizeMismatch(n, m)) return false;
  if (m == 0 || lm::WindowUnusable()) return false;

  const std::vector<const CShingle*> words = lm::Positions(doc);
  const size_t limit = lm::WindowLimit();
  lm::Windows<Estimate> windows;
  std::map<std::string, int> tally;
  bool hit = false;
  size_t j = 0;
  for (auto pair = doc_pairs.list.begin(); pair != doc_pairs.list.end(); ++pair, ++j) {
    windows.Append(protected_side.At(*words[j], *pair), unprotected_side.At(*words[j], *pair));
    if (windows.size() < limit && j + 1 < m) continue;
    windows.Trim(limit);
    const double sp = lm::PairWindowScore(windows.protected_side());
    const double su = lm::PairWindowScore(windows.unprotected_side());
    if (!lm::IsHit(sp, su, lm_factor)) continue;
    lm::WriteValues(sp, su);
    std::string phrase = HitPhrase(words, static_cast<int64_t>(j));
    if (Detailed) {
      ++tally[phrase];
      hit = true;
      continue;
    }
    std::cout << "string:\n" << phrase << '\n';
    return true;
  }
  if (Detailed) {
    for (const auto& [phrase, count] : tally)
      std::cout << "count: " << count << " string: " << phrase << '\n';
  }
  return hit;
}

// Unsmoothed bigram probability of the whole document under one model.
double Formula1(CShingleSet& doc, CShingleSet& doc_pairs, std::set<CShingle>& word_model,
                std::set<CShingle>& pair_model) {
  if (doc.list.size() != doc_pairs.list.size() + 1) {
    std::cerr << lm::kShortSizeError;
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
