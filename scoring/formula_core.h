// The one implementation of each language-model formula. It reads its
// settings from a value, looks counts up through any index of a trained set,
// takes the document as flat digests and returns what it found, writing
// nothing: the callers' printers turn a result into lines. One call keeps all
// its state to itself, so calls may run at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/digest.h"

namespace lm {

// The language-model settings, as the formulas read them.
struct Settings {
  double threshold_1 = 1.0;  // protected score that suffices by itself
  double threshold_2 = 1.0;  // upper bound for the unprotected score
  int32_t length = 10;       // window length
  double lambda = 0.0;
  double lambda0 = 0.0;      // Formula2 only
  double factor = 0.0;       // margin of the protected score (Formula1, Formula3)
  bool log = false;          // add logarithms instead of multiplying
  bool detailed = false;     // Formula1: tally every flagged phrase
  // Score every window for Result::best, also after the first hit and where
  // the pruned Formula1 would skip windows that cannot pass.
  bool best_score = false;
};


// One trained set as the formulas see it: the count of a digest (0 when
// absent), N = records in its list and T = its total. Counts go through a
// plain function pointer: one indirect call per look-up costs little beside
// the digest that produced the key, and keeps the formulas compiled once.
struct CountLookup {
  const void* set = nullptr;
  int32_t (*count)(const void* set, const unsigned char* digest) = nullptr;
  double records = 0.0;
  double total = 0.0;

  int32_t Count(const unsigned char* digest) const { return count(set, digest); }
};

// Adapts any index with Count(digest), records() and total().
template <typename Index>
CountLookup LookupOf(const Index& index) {
  CountLookup lookup;
  lookup.set = &index;
  lookup.count = [](const void* set, const unsigned char* digest) -> int32_t {
    return static_cast<const Index*>(set)->Count(digest);
  };
  lookup.records = static_cast<double>(index.records());
  lookup.total = static_cast<double>(index.total());
  return lookup;
}

// The four trained sets of a model. Formula3 reads only the two word sets.
struct Model {
  CountLookup protected_words;
  CountLookup unprotected_words;
  CountLookup protected_pairs;
  CountLookup unprotected_pairs;
};

// A document as flat data: the digest of every word and of every pair of
// neighbouring words, in text order, and the text of word k for the hit
// phrase (word_text may be null when nothing is written).
struct Document {
  const Digest* words = nullptr;
  size_t word_count = 0;
  const Digest* pairs = nullptr;
  size_t pair_count = 0;
  const void* text = nullptr;
  std::string_view (*word_text)(const void* text, size_t k) = nullptr;
  // The words are the Windows-1251 form of a UTF-8 text: phrases are
  // written in UTF-8, as the text has them.
  bool utf8_text = false;
  // Formula3: the last word only completes the phrase of the word before;
  // the text goes on after it, so no window here is the document's last.
  bool more_follows = false;

  Document() = default;
  // Digest arrays of the words and pairs, and where word k's text is found.
  Document(const std::vector<Digest>& word_digests, const std::vector<Digest>& pair_digests,
           const void* source, std::string_view (*text_of)(const void*, size_t))
      : words(word_digests.data()), word_count(word_digests.size()), pairs(pair_digests.data()),
        pair_count(pair_digests.size()), text(source), word_text(text_of) {}
};

// A document the formula refuses to judge: no words, or not one word more
// than pairs (Formula1 and Formula2).
enum class Refusal { kNone, kEmpty, kSizeMismatch };

// Verdict and the deciding window: the first window that was a hit (also
// with detailed Formula1, which goes on scanning), its two scores and the
// words of its hit phrase (first word index and count; count 0 for an empty
// phrase) with their text, in UTF-8 when the document was. Without a hit the
// scores are 0 and the phrase is empty.
struct Result {
  bool verdict = false;
  double protected_score = 0.0;
  double unprotected_score = 0.0;
  size_t phrase_first = 0;
  size_t phrase_words = 0;
  std::string phrase_text;

  Refusal refusal = Refusal::kNone;
  size_t refused_words = 0;  // the counts a size mismatch reports
  size_t refused_pairs = 0;

  // Detailed Formula1: the scores of every hit window in text order, and
  // how often each hit phrase was flagged.
  std::vector<std::pair<double, double>> hits;
  std::map<std::string, int> tally;

  // With Settings::best_score: the largest WindowMargin of any window the
  // formula scored (scored_windows of them), so the verdict is best >= 0
  // whenever a window was scored.
  size_t scored_windows = 0;
  double best = 0.0;
};

// How far a window's scores are from failing the formula's test, as one
// number that is >= 0 exactly when the window is a hit, and larger the
// further the protected score is past the bound it must reach. With
// logarithms the test is sp >= su + margin, and this is sp - (su + margin).
// Without, the test is su < threshold_2 and (sp >= threshold_1 or (sp >= su +
// margin and sp > 0)): when su < threshold_2 fails, it is the negative
// threshold_2 - su moved down one step of the double (0 would pass); else the
// larger of sp - threshold_1 and either sp - (su + margin) (when su + margin
// > 0) or sp moved down one step (sp > 0 as a difference). A difference of
// equal operands is 0, and one that is not a number is -infinity, as such a
// comparison fails.
double WindowMargin(double protected_score, double unprotected_score, double margin,
                    const Settings& settings);

Result Formula1(const Document& doc, const Model& model, const Settings& settings);
Result Formula2(const Document& doc, const Model& model, const Settings& settings);
// Reads only the document's words and the model's word sets.
Result Formula3(const Document& doc, const Model& model, const Settings& settings);

using Formula = Result (*)(const Document&, const Model&, const Settings&);
// The formula a number names: 1, 2, and 3 for any higher number.
inline Formula FormulaNumbered(int formula) {
  return formula == 1 ? Formula1 : formula == 2 ? Formula2 : Formula3;
}

}  // namespace lm
