// Judging with count indexes: a document's words and pairs hashed straight
// from its normalised text, judged by the formula core against a model of
// four indexes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/digest_index.h"
#include "core/sides_index.h"
#include "core/text_words.h"
#include "scoring/formula_core.h"

// The words (one-word shingles) and word pairs of one document, in text
// order, as the two builds of n = 1 and n = 2 give them.
class WordsAndPairs {
 public:
  explicit WordsAndPairs(const TextOptions& options) : text_(options) {}
  // Starts a new document as a new object made with options would, keeping
  // the room of its buffers (TextWords::Restart).
  void Restart(const TextOptions& options);

  // Reads the text with read(words), which tells whether the words are
  // usable; the result is read's.
  // Judges while reading, as sink(text, ended) of TextWords::StreamTo.
  void StreamTo(TextWords::Sink sink) { text_.StreamTo(std::move(sink)); }
  template <typename Read>
  bool ReadWith(Read read) {
    return usable_ = read(text_);
  }
  // Reads a caller's buffer of size bytes (nothing when the shift is
  // unusable).
  void ReadBuffer(const char* text, size_t size);
  // Hashes every word and pair; words() and pairs() are empty before.
  void HashAll();

  // The numbers of words and pairs, hashed or not.
  size_t word_count() const { return usable_ ? text_.ShingleCount(1) : 0; }
  size_t pair_count() const { return usable_ ? text_.ShingleCount(2) : 0; }
  const std::vector<Digest>& words() const { return words_; }
  const std::vector<Digest>& pairs() const { return pairs_; }
  // The text of word k of words(): with a shift s above 1 the words are
  // every s-th word of the text.
  std::string_view WordText(size_t k) const { return text_.Word(k * step_); }
  lm::Document View() const;
  // The normalised words; false from usable() when shingles must not be
  // built (the shift is unusable).
  const TextWords& text() const { return text_; }
  bool usable() const { return usable_; }

 private:
  TextWords text_;
  bool usable_ = false;
  std::vector<Digest> words_;
  std::vector<Digest> pairs_;
  size_t step_ = 1;
};

// The four trained sets of a model, joined by kind: each look-up of a word
// or pair gives both sides' counts.
struct IndexedModel {
  const SidesIndex* words;
  const SidesIndex* pairs;
};

// The formula core's model over the joined sets, in the roles' usual order.
lm::Model ModelOf(const IndexedModel& model);

// The result of Formula1, Formula2 or Formula3 (formula 1, 2, or above) for
// the document with the given settings: exactly what the formula
// core gives. The counts of the
// document's words and pairs are looked up in batches before the formula
// runs. Formula1, where the settings let no window pass that holds a pair the
// protected pair set lacks (no logarithms, no smoothing, a positive
// lm_threshold_1, shift 1, no detailed tally), hashes pairs only while a
// window could still pass and scores only such windows.
lm::Result JudgeDocument(int formula, WordsAndPairs& doc, const IndexedModel& model,
                         const lm::Settings& settings);

// Where a hit's phrase lies in the text read: its first byte, the end of its
// last word there (in UTF-8 a letter takes more bytes than in the word), and
// its normalised words joined by single spaces (one word in `shift`).
struct PhraseBytes {
  size_t offset = 0;
  size_t end = 0;
  std::string words;
};
// Those of a result's phrase in a text that holds its words.
PhraseBytes PhraseBytesOf(const lm::Result& result, const TextWords& text);

// JudgeDocument while the text is read (a sink of TextWords::StreamTo):
// windows of words are judged as they arrive, with the overlap a window of
// the formula needs, so only a window's words are held. Its result (verdict,
// window, phrase, refusal, best margin) is the one JudgeDocument gives, and
// is complete once reading ends. A window longer
// than kLongestStreamedWindow, none at all, or keep_whole (the detailed
// listing needs every word) judges the whole text when it ends.
class LmStream {
 public:
  static constexpr size_t kLongestStreamedWindow = size_t{1} << 14;

  // The digests of the words and pairs of the range being judged; a stream
  // may take them from one that judged an earlier document, to reuse their
  // room.
  struct Buffers {
    std::vector<Digest> words, pairs;
  };

  LmStream(int formula, const IndexedModel& model, const lm::Settings& settings,
           bool keep_whole = false, Buffers reused = {})
      : formula_(formula),
        model_(model),
        settings_(settings),
        keep_whole_(keep_whole),
        buffers_(std::move(reused)) {}
  // The buffers for another stream: those up to TextWords::kKeptBytes, empty.
  Buffers TakeBuffers();

  size_t Take(const TextWords& text, bool ended);

  const lm::Result& result() const { return result_; }
  const PhraseBytes& phrase() const { return phrase_; }

 private:
  bool Consistent(size_t words, size_t pairs);
  void JudgeRange(const TextWords& text, size_t start, size_t end, bool ended);

  int formula_;
  IndexedModel model_;
  lm::Settings settings_;
  bool keep_whole_;
  size_t next_ = 0;  // the first position not judged yet
  bool done_ = false;
  lm::Result result_;
  PhraseBytes phrase_;
  Buffers buffers_;
};
