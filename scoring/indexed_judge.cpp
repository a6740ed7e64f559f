#include "scoring/indexed_judge.h"

#include "core/document.h"
#include "core/settings.h"
#include "core/shingle.h"
#include "scoring/lm_common.h"

void WordsAndPairs::ReadFile(const std::string& name) { usable_ = ReadDocument(name, 2, text_); }

void WordsAndPairs::ReadBuffer(const char* text, size_t size) {
  usable_ = ReadDocument(text, size, 2, text_);
}

void WordsAndPairs::HashAll() {
  if (!usable_ || !words_.empty()) return;
  step_ = static_cast<size_t>(CShingle::shingle_shift);
  text_.HashShingles(1, words_);
  text_.HashShingles(2, pairs_);
}

namespace {

// A pair unknown to the protected pair set gives the pair estimate 0 (no
// smoothing), every factor of the product is finite, so the protected score
// of a window holding it is 0 and fails both branches of the test.
bool PairsRuleWindowsOut(size_t pairs, const lm::Settings& settings) {
  const size_t length = static_cast<size_t>(settings.length);
  return settings.length >= 1 && pairs >= length && !settings.log && settings.lambda == 0 &&
         settings.threshold_1 > 0 && !settings.detailed;
}

// The full windows of Formula1 end at positions length - 1 .. pairs - 1. A
// window is scored only when all its pairs are known to the protected side;
// the rightmost unknown pair of a window lets the search skip every window
// that holds it, so most pairs of an ordinary document are never hashed.
class PrunedFormula1 {
 public:
  PrunedFormula1(const TextWords& text, const lm::Model& model, const lm::Settings& settings,
                 const lm::Output& output)
      : text_(text),
        model_(model),
        settings_(settings),
        output_(output),
        known_(text.size() - 1, kUnhashed) {}

  lm::Result Run() {
    const size_t length = static_cast<size_t>(settings_.length), pairs = known_.size();
    for (size_t end = length - 1; end < pairs;) {
      const size_t unknown = RightmostUnknown(end + 1 - length, end);
      if (unknown != kNone) {
        end = unknown + length;
        continue;
      }
      const lm::Result result = ScoreWindow(end + 1 - length, length);
      if (result.verdict) return result;
      ++end;
    }
    return lm::Result();
  }

 private:
  static constexpr signed char kUnhashed = -1;
  static constexpr size_t kNone = SIZE_MAX;

  size_t RightmostUnknown(size_t first, size_t last) {
    for (size_t k = last + 1; k-- > first;) {
      if (known_[k] == kUnhashed) {
        const Digest pair = Md5Of(text_.Span(k, 2));
        known_[k] = model_.protected_pairs.Count(pair.bytes) != 0;
      }
      if (known_[k] == 0) return k;
    }
    return kNone;
  }

  // The window as a document of its own: its only scored window is this
  // one, with the same estimates, scores, output and phrase (moved back to
  // the text's word positions).
  lm::Result ScoreWindow(size_t first, size_t length) {
    std::vector<Digest> words, pairs;
    for (size_t k = first; k <= first + length; ++k) words.push_back(Md5Of(text_.Word(k)));
    for (size_t k = first; k < first + length; ++k) pairs.push_back(Md5Of(text_.Span(k, 2)));
    struct Window {
      const TextWords* text;
      size_t first;
    } window{&text_, first};
    lm::Document doc{words.data(), words.size(), pairs.data(), pairs.size(), &window,
                     [](const void* w, size_t k) {
                       const Window* self = static_cast<const Window*>(w);
                       return self->text->Word(self->first + k);
                     }};
    lm::Result result = lm::Formula1(doc, model_, settings_, output_);
    if (result.phrase_words != 0) result.phrase_first += first;
    return result;
  }

  const TextWords& text_;
  const lm::Model& model_;
  const lm::Settings& settings_;
  const lm::Output& output_;
  std::vector<signed char> known_;
};

}  // namespace

lm::Result JudgeFormula1(const TextWords& text, const lm::Model& model,
                         const lm::Settings& settings, const lm::Output& output) {
  const size_t words = text.size();
  if (words >= 2 && PairsRuleWindowsOut(words - 1, settings))
    return PrunedFormula1(text, model, settings, output).Run();
  std::vector<Digest> singles, pairs;
  text.HashNeighbours(singles, pairs);
  return lm::Formula1(lm::DocumentOf(text, singles, pairs), model, settings, output);
}

bool JudgeFormula1(WordsAndPairs& doc, const lm::Model& model) {
  if (doc.usable_ && CShingle::shingle_shift == 1)
    return JudgeFormula1(doc.text_, model, lm::CurrentSettings(), lm::StandardStreams()).verdict;
  doc.HashAll();
  return lm::Formula1(doc.View(), model, lm::CurrentSettings(), lm::StandardStreams()).verdict;
}

lm::Document WordsAndPairs::View() const {
  lm::Document doc;
  doc.words = words_.data();
  doc.word_count = words_.size();
  doc.pairs = pairs_.data();
  doc.pair_count = pairs_.size();
  doc.text = this;
  doc.word_text = [](const void* self, size_t k) {
    return static_cast<const WordsAndPairs*>(self)->WordText(k);
  };
  return doc;
}

lm::Model ModelOf(const CountIndex& protected_words, const CountIndex& unprotected_words,
                  const CountIndex& protected_pairs, const CountIndex& unprotected_pairs) {
  return lm::Model{lm::LookupOf(protected_words), lm::LookupOf(unprotected_words),
                   lm::LookupOf(protected_pairs), lm::LookupOf(unprotected_pairs)};
}
