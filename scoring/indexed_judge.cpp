#include "scoring/indexed_judge.h"

#include <algorithm>

#include "core/document.h"
#include "core/word_digests.h"

void WordsAndPairs::ReadBuffer(const char* text, size_t size) {
  usable_ = ReadDocument(text, size, text_).ok();
}

void WordsAndPairs::Restart(const TextOptions& options) {
  WordsAndPairs fresh(options);
  fresh.text_ = std::move(text_);
  fresh.text_.Restart(options);
  KeepRoom(words_, fresh.words_);
  KeepRoom(pairs_, fresh.pairs_);
  *this = std::move(fresh);
}

void WordsAndPairs::HashAll() {
  if (!usable_ || !words_.empty()) return;
  step_ = static_cast<size_t>(text_.shift());
  text_.HashShingles(1, words_);
  text_.HashShingles(2, pairs_);
}

namespace {

// The counts of a document's digests on one side, looked up in one batch
// for both sides before the formula runs. The formula looks up the digests
// of the document's own arrays, which are then read by position; any other
// digest goes to the index.
class PrefetchedCounts {
 public:
  PrefetchedCounts(const SidesIndex& index, int32_t side, const std::vector<Digest>& digests)
      : index_(index),
        side_(side),
        base_(reinterpret_cast<uintptr_t>(digests.data())),
        bytes_(digests.size() * sizeof(Digest)),
        counts_(digests.size()) {}

  int32_t Count(const unsigned char* digest) const {
    const uintptr_t at = reinterpret_cast<uintptr_t>(digest) - base_;
    if (at < bytes_ && at % sizeof(Digest) == 0) return counts_[at / sizeof(Digest)];
    return index_.Count(side_, digest);
  }
  uint64_t records() const { return index_.records(side_); }
  int32_t total() const { return index_.total(side_); }
  int32_t* counts() { return counts_.data(); }

 private:
  const SidesIndex& index_;
  int32_t side_;
  uintptr_t base_;
  size_t bytes_;
  std::vector<int32_t> counts_;
};

// Both sides' counts of one kind of a document's digests.
struct PrefetchedSides {
  PrefetchedSides(const SidesIndex& index, const std::vector<Digest>& digests)
      : protected_side(index, SidesIndex::kProtected, digests),
        unprotected_side(index, SidesIndex::kUnprotected, digests) {
    index.CountMany(digests.data(), digests.size(), protected_side.counts(),
                    unprotected_side.counts());
  }
  PrefetchedCounts protected_side;
  PrefetchedCounts unprotected_side;
};

// A formula over a document's digests with their counts looked up first.
lm::Result RunPrefetched(lm::Formula formula, const lm::Document& doc,
                         const std::vector<Digest>& words, const std::vector<Digest>& pairs,
                         const IndexedModel& model, const lm::Settings& settings) {
  const PrefetchedSides word_counts(*model.words, words), pair_counts(*model.pairs, pairs);
  const lm::Model prefetched{
      lm::LookupOf(word_counts.protected_side), lm::LookupOf(word_counts.unprotected_side),
      lm::LookupOf(pair_counts.protected_side), lm::LookupOf(pair_counts.unprotected_side)};
  return formula(doc, prefetched, settings);
}

// A pair unknown to the protected pair set gives the pair estimate 0 (no
// smoothing), every factor of the product is finite, so the protected score
// of a window holding it is 0 and fails both branches of the test. The best
// margin needs every window's scores, so it is never pruned.
bool PairsRuleWindowsOut(size_t pairs, const lm::Settings& settings) {
  const size_t length = static_cast<size_t>(settings.length);
  return settings.length >= 1 && pairs >= length && !settings.log && settings.lambda == 0 &&
         settings.threshold_1 > 0 && !settings.detailed && !settings.best_score;
}

// The full windows of Formula1 end at positions length - 1 .. pairs - 1. A
// window is scored only when all its pairs are known to the protected side;
// the rightmost unknown pair of a window lets the search skip every window
// that holds it, so most pairs of an ordinary document are never hashed.
class PrunedFormula1 {
 public:
  // The pairs first .. first + pairs - 1 of the text (all by default).
  PrunedFormula1(const TextWords& text, const lm::Model& model, const lm::Settings& settings,
                 size_t first = 0, size_t pairs = SIZE_MAX)
      : text_(text),
        model_(model),
        settings_(settings),
        first_(first),
        known_(pairs != SIZE_MAX ? pairs : text.size() - 1, kUnhashed) {}

  lm::Result Run() {
    const size_t length = static_cast<size_t>(settings_.length), pairs = known_.size();
    for (size_t end = length - 1; end < pairs;) {
      const size_t unknown = RightmostUnknown(end + 1 - length, end);
      if (unknown != kNone) {
        end = unknown + length;
        continue;
      }
      const lm::Result result = ScoreWindow(first_ + end + 1 - length, length);
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
        const Digest pair = Md5Of(text_.Span(first_ + k, 2));
        known_[k] = model_.protected_pairs.Count(pair.bytes) != 0;
      }
      if (known_[k] == 0) return k;
    }
    return kNone;
  }

  // The window as a document of its own: its only scored window is this
  // one, with the same estimates, scores and phrase (moved back to
  // the text's word positions).
  lm::Result ScoreWindow(size_t first, size_t length) {
    std::vector<Digest> words, pairs;
    for (size_t k = first; k <= first + length; ++k) words.push_back(Md5Of(text_.Word(k)));
    for (size_t k = first; k < first + length; ++k) pairs.push_back(Md5Of(text_.Span(k, 2)));
    struct Window {
      const TextWords* text;
      size_t first;
    } window{&text_, first};
    lm::Document doc(words, pairs, &window, [](const void* w, size_t k) {
      const Window* self = static_cast<const Window*>(w);
      return self->text->Word(self->first + k);
    });
    doc.utf8_text = text_.read_as_utf8();
    lm::Result result = lm::Formula1(doc, model_, settings_);
    if (result.phrase_words != 0) result.phrase_first += first;
    return result;
  }

  const TextWords& text_;
  const lm::Model& model_;
  const lm::Settings& settings_;
  const size_t first_;
  std::vector<signed char> known_;
};

}  // namespace

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
  doc.utf8_text = text_.read_as_utf8();
  return doc;
}

namespace {

// One side of a joined index as the formulas see a trained set.
template <int32_t kSide>
lm::CountLookup SideOf(const SidesIndex& index) {
  lm::CountLookup lookup;
  lookup.set = &index;
  lookup.count = [](const void* set, const unsigned char* digest) {
    return static_cast<const SidesIndex*>(set)->Count(kSide, digest);
  };
  lookup.records = static_cast<double>(index.records(kSide));
  lookup.total = static_cast<double>(index.total(kSide));
  return lookup;
}

}  // namespace

lm::Model ModelOf(const IndexedModel& model) {
  return lm::Model{SideOf<SidesIndex::kProtected>(*model.words),
                   SideOf<SidesIndex::kUnprotected>(*model.words),
                   SideOf<SidesIndex::kProtected>(*model.pairs),
                   SideOf<SidesIndex::kUnprotected>(*model.pairs)};
}

lm::Result JudgeDocument(int formula, WordsAndPairs& doc, const IndexedModel& model,
                         const lm::Settings& settings) {
  const TextWords& text = doc.text();
  if (formula == 1 && doc.usable() && text.shift() == 1 && text.size() >= 2 &&
      PairsRuleWindowsOut(text.size() - 1, settings))
    return PrunedFormula1(text, ModelOf(model), settings).Run();
  doc.HashAll();
  return RunPrefetched(lm::FormulaNumbered(formula), doc.View(), doc.words(), doc.pairs(), model,
                       settings);
}

namespace {

// A window of a text as a document of its own: its positions first ..
// first + positions - 1 (pairs, or words for Formula3), with the words they
// need, hashed as the whole document's would be.
struct TextRange {
  const TextWords* text;
  size_t first;
  size_t step;
};

std::string_view RangeWord(const void* range, size_t k) {
  const TextRange* self = static_cast<const TextRange*>(range);
  return self->text->Word((self->first + k) * self->step);
}

}  // namespace

size_t LmStream::Take(const TextWords& text, bool ended) {
  const size_t step = static_cast<size_t>(text.shift());
  const size_t length = static_cast<size_t>(settings_.length);
  // A window this long, or none, spans the document, and so does the
  // detailed tally: the text is judged whole when it ends.
  const bool whole = keep_whole_ || settings_.detailed || settings_.length < 1 ||
                     length > kLongestStreamedWindow;
  const size_t words = text.ShingleCount(1), pairs = text.ShingleCount(2);
  if (ended && !Consistent(words, pairs)) return keep_whole_ ? 0 : text.size();
  if (done_ && !settings_.best_score) return keep_whole_ ? 0 : text.size();
  if (whole && !ended) return 0;
  const bool by_words = formula_ > 2;
  // A position needs the word after it (the pair's second word, or the last
  // word of Formula3's phrase), unless the text has ended.
  size_t end = by_words ? words : std::min(pairs, words == 0 ? 0 : words - 1);
  if (!ended && by_words && end != 0) --end;
  // A whole text is judged from its first word (a window length of 0 too).
  const size_t start = !whole && next_ >= length ? next_ + 1 - length : 0;
  if (!ended && (end <= next_ || end - start < length)) return start * step;
  if (end > next_ || next_ == 0) JudgeRange(text, start, end, ended);
  next_ = std::max(next_, end);
  if (whole) return 0;
  return (next_ >= length ? next_ + 1 - length : 0) * step;
}

// The checks the whole document's formula makes first: when they fail, what
// the windows found is dropped for the formula's refusal.
bool LmStream::Consistent(size_t words, size_t pairs) {
  const bool by_words = formula_ > 2;
  if (words != 0 && (by_words || words == pairs + 1)) return true;
  phrase_ = PhraseBytes();
  lm::Document stub;
  stub.word_count = words;
  stub.pair_count = pairs;
  result_ = lm::FormulaNumbered(formula_)(stub, ModelOf(model_), settings_);
  done_ = true;
  return false;
}

void LmStream::JudgeRange(const TextWords& text, size_t start, size_t end, bool ended) {
  const size_t step = static_cast<size_t>(text.shift());
  const size_t positions = end - start;
  lm::Result found;
  if (formula_ == 1 && step == 1 && positions >= 1 && PairsRuleWindowsOut(positions, settings_)) {
    found = PrunedFormula1(text, ModelOf(model_), settings_, start, positions).Run();
  } else {
    const bool by_words = formula_ > 2;
    const size_t word_count = by_words && ended ? positions : positions + 1;
    std::vector<Digest>& words = buffers_.words;
    std::vector<Digest>& pairs = buffers_.pairs;
    words.clear();
    pairs.clear();
    text.HashShingles(1, start, word_count, words);
    if (!by_words) text.HashShingles(2, start, positions, pairs);
    const TextRange range{&text, start, step};
    lm::Document doc(words, pairs, &range, RangeWord);
    doc.utf8_text = text.read_as_utf8();
    doc.more_follows = by_words && !ended;
    found = RunPrefetched(lm::FormulaNumbered(formula_), doc, words, pairs, model_, settings_);
    if (found.phrase_words != 0) found.phrase_first += start;
  }
  // The best margin is over every range's windows; the verdict is the first
  // hit's.
  const bool scored_before = result_.scored_windows != 0;
  const double best = scored_before && found.scored_windows != 0
                          ? std::max(result_.best, found.best)
                          : scored_before ? result_.best : found.best;
  const size_t scored_windows = result_.scored_windows + found.scored_windows;
  if (found.verdict && !done_) {
    result_ = std::move(found);
    done_ = true;
    phrase_ = PhraseBytesOf(result_, text);
  }
  result_.best = best;
  result_.scored_windows = scored_windows;
}

LmStream::Buffers LmStream::TakeBuffers() {
  Buffers kept;
  KeepRoom(buffers_.words, kept.words);
  KeepRoom(buffers_.pairs, kept.pairs);
  return kept;
}

PhraseBytes PhraseBytesOf(const lm::Result& result, const TextWords& text) {
  PhraseBytes phrase;
  if (result.phrase_words == 0) return phrase;
  const size_t step = static_cast<size_t>(text.shift());
  const size_t first = result.phrase_first * step;
  const size_t last = (result.phrase_first + result.phrase_words - 1) * step;
  phrase.offset = text.SourceOffset(first);
  phrase.end = text.SourceEnd(last);
  for (size_t word = first; word <= last; word += step) {
    if (word != first) phrase.words += ' ';
    phrase.words += text.Word(word);
  }
  return phrase;
}
