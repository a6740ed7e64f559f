#include "scoring/formula_core.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <ostream>
#include <string>

#include "core/messages.h"
#include "core/settings.h"
#include "core/text_words.h"
#include "scoring/lm_common.h"

namespace lm {

Settings CurrentSettings() {
  Settings settings;
  settings.threshold_1 = lm_threshold_1;
  settings.threshold_2 = lm_threshold_2;
  settings.length = lm_length;
  settings.lambda = lm_lambda;
  settings.lambda0 = lm_lambda0;
  settings.factor = lm_factor;
  settings.log = lm_log;
  settings.detailed = Detailed;
  return settings;
}

Document DocumentOf(const TextWords& text, const std::vector<Digest>& words,
                    const std::vector<Digest>& pairs) {
  return Document(words, pairs, &text, [](const void* source, size_t k) {
    return static_cast<const TextWords*>(source)->Word(k);
  });
}

namespace {

// The window length as the window-size tests see it: the setting taken as an
// unsigned quantity, so a negative value is longer than any window.
size_t WindowLimit(const Settings& settings) {
  return static_cast<size_t>(static_cast<int64_t>(settings.length));
}

// The estimates of both sides for every position scored so far; the window
// is the newest entries from first() on. Entries are appended and dropped on
// both sides together, so the two windows always cover the same positions.
template <typename Entry>
class Windows {
 public:
  explicit Windows(size_t positions) {
    protected_.reserve(positions);
    unprotected_.reserve(positions);
  }
  void Append(const Entry& protected_entry, const Entry& unprotected_entry) {
    protected_.push_back(protected_entry);
    unprotected_.push_back(unprotected_entry);
  }
  size_t size() const { return protected_.size() - first_; }
  // Drops the oldest entries while the windows are longer than the limit.
  void Trim(size_t limit) {
    if (size() > limit) first_ = protected_.size() - limit;
  }
  const Entry* protected_begin() const { return protected_.data() + first_; }
  const Entry* unprotected_begin() const { return unprotected_.data() + first_; }

 private:
  std::vector<Entry> protected_;
  std::vector<Entry> unprotected_;
  size_t first_ = 0;
};

// The test of Formula1 and Formula3 (Formula2 uses it with a margin of 0).
// Comparisons with a not-a-number operand are false, as IEEE comparisons are.
bool IsHit(double protected_score, double unprotected_score, double margin,
           const Settings& settings) {
  if (settings.log) return protected_score >= unprotected_score + margin;
  return unprotected_score < settings.threshold_2 &&
         (protected_score >= settings.threshold_1 ||
          (protected_score >= unprotected_score + margin && protected_score > 0));
}

bool ReportEmpty(const Document& doc, const Output& output) {
  if (doc.word_count != 0) return false;
  if (output.err) *output.err << messages::kEmptyDocMessage;
  return true;
}

bool ReportSizeMismatch(const Document& doc, const Output& output) {
  if (doc.word_count == doc.pair_count + 1) return false;
  if (output.err)
    *output.err << messages::kSizeErrorPrefix << doc.word_count << messages::kSizeErrorMiddle << doc.pair_count
                << "\n";
  return true;
}

void WriteValues(const Output& output, double protected_score, double unprotected_score) {
  if (output.out)
    *output.out << "values: \t" << protected_score << '\t' << unprotected_score << '\n';
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
  for (size_t k = phrase.first; k < phrase.first + phrase.words; ++k) {
    if (k != phrase.first) text += ' ';
    text += doc.word_text(doc.text, k);
  }
  return text;
}

void Decide(Result& result, double protected_score, double unprotected_score,
            const Phrase& phrase) {
  if (result.verdict) return;
  result.verdict = true;
  result.protected_score = protected_score;
  result.unprotected_score = unprotected_score;
  result.phrase_first = phrase.first;
  result.phrase_words = phrase.words;
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

// Score of a window of (word, pair) entries: the oldest entry gives its word
// term and its pair term, every later one its pair term, combined left to
// right (products, or sums of logarithms).
double PairWindowScore(const Estimate* window, size_t size, bool log) {
  double score = window[0].word;
  if (log) {
    for (size_t k = 0; k < size; ++k) score = score + window[k].pair;
  } else {
    for (size_t k = 0; k < size; ++k) score = score * window[k].pair;
  }
  return score;
}

// The words that end the window at position j: for a full window the
// length - 1 words ending with w(j); empty when the length is 1 or less.
Phrase Formula1Phrase(int64_t length, size_t words, size_t j) {
  if (length <= 1) return {};
  const int64_t last_word = static_cast<int64_t>(words) - 1;
  const int64_t start = std::max<int64_t>(0, static_cast<int64_t>(j) - (length - 2));
  return PhraseOf(start, std::min(start + length - 2, last_word));
}

void WriteTally(const Output& output, const std::map<std::string, int>& tally) {
  for (const auto& [phrase, count] : tally)
    *output.out << "count: " << count << " string: " << phrase << '\n';
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

// "String:" lines: a heading, then each word with a space before it.
void WriteSpacedPhrase(const Output& output, const Document& doc, const Phrase& phrase) {
  if (!output.out) return;
  *output.out << "String:\n";
  if (phrase.words != 0) *output.out << ' ' << PhraseText(doc, phrase);
  *output.out << '\n';
}

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

double WordWindowScore(const double* window, size_t size, bool log) {
  double score = log ? 0.0 : 1.0;
  if (log) {
    for (size_t k = 0; k < size; ++k) score = score + window[k];
  } else {
    for (size_t k = 0; k < size; ++k) score = score * window[k];
  }
  return score;
}

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

}  // namespace

Result Formula1(const Document& doc, const Model& model, const Settings& settings,
                const Output& output) {
  Result result;
  if (ReportEmpty(doc, output) || ReportSizeMismatch(doc, output)) return result;
  const size_t m = doc.pair_count;
  // A window length of 0 would empty every window before it is scored.
  if (m == 0 || settings.length == 0) return result;

  const SmoothedSide protected_side{model.protected_words, model.protected_pairs, settings};
  const SmoothedSide unprotected_side{model.unprotected_words, model.unprotected_pairs, settings};
  const size_t limit = WindowLimit(settings);
  Windows<Estimate> windows(m);
  std::map<std::string, int> tally;
  for (size_t j = 0; j < m; ++j) {
    windows.Append(protected_side.At(doc.words[j], doc.pairs[j]),
                   unprotected_side.At(doc.words[j], doc.pairs[j]));
    if (windows.size() < limit && j + 1 < m) continue;
    windows.Trim(limit);
    const double sp = PairWindowScore(windows.protected_begin(), windows.size(), settings.log);
    const double su = PairWindowScore(windows.unprotected_begin(), windows.size(), settings.log);
    if (!IsHit(sp, su, settings.factor, settings)) continue;
    WriteValues(output, sp, su);
    const Phrase phrase = Formula1Phrase(settings.length, doc.word_count, j);
    Decide(result, sp, su, phrase);
    if (settings.detailed) {
      if (output.out) ++tally[PhraseText(doc, phrase)];
      continue;
    }
    if (output.out) *output.out << "string:\n" << PhraseText(doc, phrase) << '\n';
    return result;
  }
  if (settings.detailed && output.out) WriteTally(output, tally);
  return result;
}

Result Formula2(const Document& doc, const Model& model, const Settings& settings,
                const Output& output) {
  Result result;
  if (ReportEmpty(doc, output) || ReportSizeMismatch(doc, output)) return result;
  const size_t m = doc.pair_count;
  if (m == 0 || settings.length == 0) return result;

  const InterpolatedSide protected_side{model.protected_words, model.protected_pairs, settings};
  const InterpolatedSide unprotected_side{model.unprotected_words, model.unprotected_pairs,
                                          settings};
  const size_t limit = WindowLimit(settings);
  Windows<Estimate> windows(m);
  for (size_t j = 0; j < m; ++j) {
    const Digest& word = doc.words[j];
    const Digest& next_word = doc.words[j + 1];
    windows.Append(protected_side.At(word, next_word, doc.pairs[j]),
                   unprotected_side.At(word, next_word, doc.pairs[j]));
    // Only full windows are scored; a document shorter than one never is.
    if (windows.size() < limit) continue;
    windows.Trim(limit);
    const double sp = PairWindowScore(windows.protected_begin(), windows.size(), settings.log);
    const double su = PairWindowScore(windows.unprotected_begin(), windows.size(), settings.log);
    if (!IsHit(sp, su, 0.0, settings)) continue;
    WriteValues(output, sp, su);
    // The window is full here, so j >= length - 1 and its first word exists.
    const int64_t length = settings.length;
    const Phrase phrase =
        length >= 2 ? PhraseOf(static_cast<int64_t>(j) - length + 2, static_cast<int64_t>(j))
                    : Phrase{};
    WriteSpacedPhrase(output, doc, phrase);
    Decide(result, sp, su, phrase);
    return result;
  }
  return result;
}

Result Formula3(const Document& doc, const Model& model, const Settings& settings,
                const Output& output) {
  Result result;
  if (ReportEmpty(doc, output) || settings.length == 0) return result;

  const WordSide protected_side{model.protected_words, settings};
  const WordSide unprotected_side{model.unprotected_words, settings};
  const size_t n = doc.word_count;
  const size_t limit = WindowLimit(settings);
  Windows<double> windows(n);
  for (size_t j = 0; j < n; ++j) {
    windows.Append(protected_side.At(doc.words[j]), unprotected_side.At(doc.words[j]));
    if (windows.size() < limit && j + 1 < n) continue;
    windows.Trim(limit);
    const double sp = WordWindowScore(windows.protected_begin(), windows.size(), settings.log);
    const double su = WordWindowScore(windows.unprotected_begin(), windows.size(), settings.log);
    if (!IsHit(sp, su, settings.factor, settings)) continue;
    WriteValues(output, sp, su);
    const Phrase phrase = Formula3Phrase(settings, n, j);
    WriteSpacedPhrase(output, doc, phrase);
    Decide(result, sp, su, phrase);
    return result;
  }
  return result;
}

}  // namespace lm
