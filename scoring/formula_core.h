// The one implementation of each language-model formula. It reads its
// settings from a value, looks counts up through any index of a trained set,
// takes the document as flat digests and writes only to the streams it is
// given, so one call keeps all its state to itself and calls may run at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string_view>
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

// Where the formulas write: result lines to out, error lines to err. A null
// stream silences that side.
struct Output {
  std::ostream* out = nullptr;
  std::ostream* err = nullptr;
};

// Output to std::cout and std::cerr, as the exported formulas write.
Output StandardStreams();

// Verdict and the deciding window: the first window that was a hit (also
// with detailed Formula1, which goes on scanning), its two scores and the
// words of its hit phrase (first word index and count; count 0 for an empty
// phrase). Without a hit the scores are 0 and the phrase is empty.
struct Result {
  bool verdict = false;
  double protected_score = 0.0;
  double unprotected_score = 0.0;
  size_t phrase_first = 0;
  size_t phrase_words = 0;
};

Result Formula1(const Document& doc, const Model& model, const Settings& settings,
                const Output& output);
Result Formula2(const Document& doc, const Model& model, const Settings& settings,
                const Output& output);
// Reads only the document's words and the model's word sets.
Result Formula3(const Document& doc, const Model& model, const Settings& settings,
                const Output& output);

using Formula = Result (*)(const Document&, const Model&, const Settings&, const Output&);
// The formula a number names: 1, 2, and 3 for any higher number.
inline Formula FormulaNumbered(int formula) {
  return formula == 1 ? Formula1 : formula == 2 ? Formula2 : Formula3;
}

}  // namespace lm
