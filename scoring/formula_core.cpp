#include "scoring/formula_core.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/charset.h"

namespace lm {

namespace {

// The window length as the window-size tests see it: the setting taken as an
// unsigned quantity, so a negative value is longer than any window.
size_t WindowLimit(const Settings& settings) {
  return static_cast<size_t>(static_cast<int64_t>(settings.length));
}

// The test of Formula1 and Formula3 (Formula2 uses it with a margin of 0).
// Comparisons with a not-a-number operand are false, as IEEE comparisons are.
bool IsHit(double protected_score, double unprotected_score, double margin,
           const Settings& settings) {
  if (settings.log) return protected_score >= unprotected_score + margin;
  return unprotected_score < settings.threshold_2 &&
         (protected_score >= settings.threshold_1 ||
          (protected_score >= unprotected_score + margin && protected_score > 0));
}

bool RefuseEmpty(const Document& doc, Result& result) {
  if (doc.word_count != 0) return false;
  result.refusal = Refusal::kEmpty;
  return true;
}

bool RefuseSizeMismatch(const Document& doc, Result& result) {
  if (doc.word_count == doc.pair_count + 1) return false;
  result.refusal = Refusal::kSizeMismatch;
  result.refused_words = doc.word_count;
  result.refused_pairs = doc.pair_count;
  return true;
}

// Not-a-number fails every comparison, so it ranks below every difference.
double Ordered(double difference) {
  return std::isnan(difference) ? -std::numeric_limits<double>::infinity() : difference;
}

// a - b, which is >= 0 exactly when a >= b: 0 for equal operands (infinite
// ones too, whose difference is not a number).
double Difference(double a, double b) { return a == b ? 0.0 : Ordered(a - b); }

// x > 0 as a difference that is >= 0 exactly then: the next double below x
// (0 only from the smallest positive double, down to a negative from 0).
double Strict(double x) {
  return std::nextafter(Ordered(x), -std::numeric_limits<double>::infinity());
}

// Records the window's margin when the settings ask for the best one.
void Score(Result& result, const Settings& settings, double margin, double protected_score,
           double unprotected_score) {
  if (!settings.best_score) return;
  const double m = WindowMargin(protected_score, unprotected_score, margin, settings);
  if (result.scored_windows++ == 0 || m > result.best) result.best = m;
}

struct Phrase {
  size_t first = 0;
  size_t words = 0;
};

Phrase PhraseOf(int64_t first, int64_t last) {
  if (last < first) return {};
  return {static_cast<size_t>(first), static_cast<size_t>(last - first + 1)};
}

// The phrase's words joined by single spaces.
std::string PhraseText(const Document& doc, const Phrase& phrase) {
  std::string text;
  if (doc.word_text == nullptr) return text;
  for (size_t k = phrase.first; k < phrase.first + phrase.words; ++k) {
    if (k != phrase.first) text += ' ';
    text += doc.word_text(doc.text, k);
  }
  return doc.utf8_text ? Cp1251ToUtf8(text) : text;
}

void Decide(Result& result, const Document& doc, double protected_score,
            double unprotected_score, const Phrase& phrase) {
  if (result.verdict) return;
  result.verdict = true;
  result.protected_score = protected_score;
  result.unprotected_score = unprotected_score;
  result.phrase_first = phrase.first;
  result.phrase_words = phrase.words;
  result.phrase_text = PhraseText(doc, phrase);
}

// ---- Formula1: additive smoothing of the word frequency and of the pair
// frequency given its first word.

struct Estimate {
  double word;
  double pair;
};

struct SmoothedSide {
  const CountLookup& words;
  const CountLookup& pairs;
  const Settings& settings;

  Estimate At(const Digest& word, const Digest& pair) const {
    const double lambda = settings.lambda;
    const double n = words.records;
    const double total = words.total;
    const double cw = words.Count(word.bytes);
    const double cb = pairs.Count(pair.bytes);
    Estimate e{(cw + lambda) / ((total + n * lambda) + 0.01),
               (lambda + cb) / ((n * lambda + cw) + 0.01)};
    if (settings.log) {
      e.word = std::log(1 + e.word);
      e.pair = std::log(1 + e.pair);
    }
    return e;
  }
};

// The words that end the window at position j: for a full window the
// length - 1 words ending with w(j); empty when the length is 1 or less.
Phrase Formula1Phrase(int64_t length, size_t words, size_t j) {
  if (length <= 1) return {};
  const int64_t last_word = static_cast<int64_t>(words) - 1;
  const int64_t start = std::max<int64_t>(0, static_cast<int64_t>(j) - (length - 2));
  return PhraseOf(start, std::min(start + length - 2, last_word));
}

// ---- Formula2: frequencies smoothed towards a constant with weight lambda0;
// the pair term interpolates between the word-to-pair ratio and the next
// word's frequency.

struct InterpolatedSide {
  const CountLookup& words;
  const CountLookup& pairs;
  const Settings& settings;

  Estimate At(const Digest& word, const Digest& next_word, const Digest& pair) const {
    const double lambda0 = settings.lambda0;
    const double lambda = settings.lambda;
    const double total = words.total;
    const double cb = pairs.Count(pair.bytes);
    const double c1 = words.Count(word.bytes);
    const double pb = ((cb * lambda0 + 1) - lambda0) / total;
    Estimate t{((c1 * lambda0 + 1) - lambda0) / total, 1.0};
    if (pb != 0) {
      const double c2 = words.Count(next_word.bytes);
      const double p2 = ((c2 * lambda0 + 1) - lambda0) / total;
      t.pair = (1 - lambda) * p2 + (lambda * t.word) / pb;
    }
    if (settings.log) {
      if (t.word != 0) t.word = std::log(t.word);
      if (t.pair != 0) t.pair = std::log(t.pair);
    }
    return t;
  }
};

// ---- Formula3: additive smoothing of the word frequency alone.

struct WordSide {
  const CountLookup& words;
  const Settings& settings;

  double At(const Digest& word) const {
    const double lambda = settings.lambda;
    const double c = words.Count(word.bytes);
    double p = (c + lambda) / ((words.total + words.records * lambda) + 0.01);
    if (settings.log) p = std::log(1 + p);
    return p;
  }
};

// Up to length words from w(s), s = max(0, j - (length - 2)) for a length
// above 2 and j otherwise, cut at the end of the document. A negative length
// has no bound, like the window tests, so it runs to the end.
Phrase Formula3Phrase(const Settings& settings, size_t words, size_t j) {
  const int64_t length = settings.length;
  const size_t start =
      length > 2 ? static_cast<size_t>(std::max<int64_t>(0, static_cast<int64_t>(j) - (length - 2)))
                 : j;
  return {start, std::min(WindowLimit(settings), words - start)};
}

// ---- Windows: every position's estimates on both sides, and the score of
// each window a formula tests. The window ending at position j holds the
// newest `limit` estimates up to j (all of them while there are fewer). A
// pair window starts with its oldest entry's word term and takes every
// entry's pair term; a word window takes every entry. Terms are combined left
// to right: products, or sums of logarithms.

double FirstTerm(const Estimate* window, bool) { return window[0].word; }
double Term(const Estimate& entry) { return entry.pair; }
double FirstTerm(const double*, bool log) { return log ? 0.0 : 1.0; }
double Term(double entry) { return entry; }

// The scores of kCount windows of `size` entries starting at consecutive
// positions, each in the order above. Their chains of products are
// independent, so computing several side by side lets them overlap instead
// of each waiting on the last.
template <size_t kCount, typename Entry>
void WindowScores(const Entry* first, size_t size, bool log, double* scores) {
  double score[kCount];
  for (size_t w = 0; w < kCount; ++w) score[w] = FirstTerm(first + w, log);
  if (log) {
    for (size_t k = 0; k < size; ++k)
      for (size_t w = 0; w < kCount; ++w) score[w] = score[w] + Term(first[w + k]);
  } else {
    for (size_t k = 0; k < size; ++k)
      for (size_t w = 0; w < kCount; ++w) score[w] = score[w] * Term(first[w + k]);
  }
  for (size_t w = 0; w < kCount; ++w) scores[w] = score[w];
}

constexpr size_t kBlock = 4;

// The scores of the windows ending at first .. last - 1 that scored(j)
// names: a block of full windows together, others one by one.
template <typename Entry, typename Scored>
void BlockScores(const std::vector<Entry>& entries, size_t first, size_t last, size_t limit,
                 bool log, Scored scored, double* scores) {
  if (last - first == kBlock && first + 1 >= limit) {
    WindowScores<kBlock>(entries.data() + (first + 1 - limit), limit, log, scores);
    return;
  }
  for (size_t j = first; j < last; ++j) {
    if (!scored(j)) continue;
    const size_t start = j + 1 > limit ? j + 1 - limit : 0;
    WindowScores<1>(entries.data() + start, j + 1 - start, log, scores + (j - first));
  }
}

// Takes every position's estimates in turn (estimate(j) gives both sides'
// entries) and visits the windows that scored(j) names in order:
// visit(j, protected score, unprotected score) returns true to stop. The
// estimates are taken a block ahead of the visits.
template <typename Entry, typename Estimates, typename Scored, typename Visit>
void ScanWindows(size_t positions, size_t limit, bool log, Estimates estimate, Scored scored,
                 Visit visit) {
  std::vector<Entry> protected_entries, unprotected_entries;
  protected_entries.reserve(positions);
  unprotected_entries.reserve(positions);
  double protected_scores[kBlock], unprotected_scores[kBlock];
  for (size_t first = 0; first < positions; first += kBlock) {
    const size_t last = std::min(positions, first + kBlock);
    for (size_t j = first; j < last; ++j) {
      const std::pair<Entry, Entry> entries = estimate(j);
      protected_entries.push_back(entries.first);
      unprotected_entries.push_back(entries.second);
    }
    BlockScores(protected_entries, first, last, limit, log, scored, protected_scores);
    BlockScores(unprotected_entries, first, last, limit, log, scored, unprotected_scores);
    for (size_t j = first; j < last; ++j)
      if (scored(j) && visit(j, protected_scores[j - first], unprotected_scores[j - first]))
        return;
  }
}

}  // namespace

double WindowMargin(double protected_score, double unprotected_score, double margin,
                    const Settings& settings) {
  const double sp = protected_score, su = unprotected_score;
  const double bound = su + margin;
  if (settings.log) return Difference(sp, bound);
  if (!(su < settings.threshold_2)) return Strict(Difference(settings.threshold_2, su));
  // sp >= bound and sp > 0: with a positive bound the first implies the
  // second, otherwise the second implies the first (a bound that is not a
  // number fails both).
  const double balance = std::isnan(bound) ? -std::numeric_limits<double>::infinity()
                         : bound > 0       ? Difference(sp, bound)
                                           : Strict(sp);
  return std::max(Difference(sp, settings.threshold_1), balance);
}

Result Formula1(const Document& doc, const Model& model, const Settings& settings) {
  Result result;
  if (RefuseEmpty(doc, result) || RefuseSizeMismatch(doc, result)) return result;
  const size_t m = doc.pair_count;
  // A window length of 0 would empty every window before it is scored.
  if (m == 0 || settings.length == 0) return result;

  const SmoothedSide protected_side{model.protected_words, model.protected_pairs, settings};
  const SmoothedSide unprotected_side{model.unprotected_words, model.unprotected_pairs, settings};
  const size_t limit = WindowLimit(settings);
  ScanWindows<Estimate>(
      m, limit, settings.log,
      [&](size_t j) {
        return std::make_pair(protected_side.At(doc.words[j], doc.pairs[j]),
                              unprotected_side.At(doc.words[j], doc.pairs[j]));
      },
      // Windows are scored once full, and the last one always.
      [&](size_t j) { return j + 1 >= limit || j + 1 == m; },
      [&](size_t j, double sp, double su) {
        Score(result, settings, settings.factor, sp, su);
        if (!IsHit(sp, su, settings.factor, settings)) return false;
        const Phrase phrase = Formula1Phrase(settings.length, doc.word_count, j);
        Decide(result, doc, sp, su, phrase);
        if (settings.detailed) {
          result.hits.emplace_back(sp, su);
          ++result.tally[PhraseText(doc, phrase)];
          return false;
        }
        return !settings.best_score;
      });
  return result;
}

Result Formula2(const Document& doc, const Model& model, const Settings& settings) {
  Result result;
  if (RefuseEmpty(doc, result) || RefuseSizeMismatch(doc, result)) return result;
  const size_t m = doc.pair_count;
  if (m == 0 || settings.length == 0) return result;

  const InterpolatedSide protected_side{model.protected_words, model.protected_pairs, settings};
  const InterpolatedSide unprotected_side{model.unprotected_words, model.unprotected_pairs,
                                          settings};
  const size_t limit = WindowLimit(settings);
  ScanWindows<Estimate>(
      m, limit, settings.log,
      [&](size_t j) {
        const Digest& word = doc.words[j];
        const Digest& next_word = doc.words[j + 1];
        return std::make_pair(protected_side.At(word, next_word, doc.pairs[j]),
                              unprotected_side.At(word, next_word, doc.pairs[j]));
      },
      // Only full windows are scored; a document shorter than one never is.
      [&](size_t j) { return j + 1 >= limit; },
      [&](size_t j, double sp, double su) {
        Score(result, settings, 0.0, sp, su);
        if (!IsHit(sp, su, 0.0, settings)) return false;
        // The window is full here, so j >= length - 1 and its first word exists.
        const int64_t length = settings.length;
        const Phrase phrase =
            length >= 2 ? PhraseOf(static_cast<int64_t>(j) - length + 2, static_cast<int64_t>(j))
                        : Phrase{};
        Decide(result, doc, sp, su, phrase);
        return !settings.best_score;
      });
  return result;
}

Result Formula3(const Document& doc, const Model& model, const Settings& settings) {
  Result result;
  if (RefuseEmpty(doc, result) || settings.length == 0) return result;

  const WordSide protected_side{model.protected_words, settings};
  const WordSide unprotected_side{model.unprotected_words, settings};
  const size_t n = doc.word_count;
  const size_t limit = WindowLimit(settings);
  const size_t positions = doc.more_follows ? n - 1 : n;
  ScanWindows<double>(
      positions, limit, settings.log,
      [&](size_t j) {
        return std::make_pair(protected_side.At(doc.words[j]), unprotected_side.At(doc.words[j]));
      },
      [&](size_t j) { return j + 1 >= limit || (j + 1 == n && !doc.more_follows); },
      [&](size_t j, double sp, double su) {
        Score(result, settings, settings.factor, sp, su);
        if (!IsHit(sp, su, settings.factor, settings)) return false;
        const Phrase phrase = Formula3Phrase(settings, n, j);
        Decide(result, doc, sp, su, phrase);
        return !settings.best_score;
      });
  return result;
}

}  // namespace lm
