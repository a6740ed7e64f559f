// Judging with count indexes: a document's words and pairs hashed straight
// from its normalised text, and the model of four indexes the formula core
// looks counts up in.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/digest_index.h"
#include "core/text_words.h"
#include "scoring/formula_core.h"

// The words (one-word shingles) and word pairs of one document, in text
// order, as the two builds of n = 1 and n = 2 give them.
class WordsAndPairs {
 public:
  // Reads a data file; the messages are those of the two builds.
  void ReadFile(const std::string& name);
  // Reads a caller's buffer of size bytes.
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

 private:
  friend bool JudgeFormula1(WordsAndPairs& doc, const lm::Model& model);
// The same over the neighbouring words of a text (shift 1) with given
// settings and output: lm::Formula1's result over all its digests, the hit
// phrase in the text's word positions. Reads no process-wide setting.
lm::Result JudgeFormula1(const TextWords& text, const lm::Model& model,
                         const lm::Settings& settings, const lm::Output& output);

  TextWords text_;
  bool usable_ = false;
  std::vector<Digest> words_;
  std::vector<Digest> pairs_;
  size_t step_ = 1;
};

// Formula1's verdict and output for the document under the current settings,
// written to the standard streams: exactly what lm::Formula1 gives. Where
// the settings let no window pass that holds a pair the protected pair set
// lacks (no logarithms, no smoothing, a positive lm_threshold_1, shift 1,
// no detailed tally), pairs are hashed only while a window could still pass
// and only such windows are scored.
bool JudgeFormula1(WordsAndPairs& doc, const lm::Model& model);
// The same over the neighbouring words of a text (shift 1) with given
// settings and output: lm::Formula1's result over all its digests, the hit
// phrase in the text's word positions. Reads no process-wide setting.
lm::Result JudgeFormula1(const TextWords& text, const lm::Model& model,
                         const lm::Settings& settings, const lm::Output& output);

// The formula core's model over the four indexes, in the roles' usual order.
lm::Model ModelOf(const CountIndex& protected_words, const CountIndex& unprotected_words,
                  const CountIndex& protected_pairs, const CountIndex& unprotected_pairs);
