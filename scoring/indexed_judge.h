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

  const std::vector<Digest>& words() const { return words_; }
  const std::vector<Digest>& pairs() const { return pairs_; }
  // The text of word k of words(): with a shift s above 1 the words are
  // every s-th word of the text.
  std::string_view WordText(size_t k) const { return text_.Word(k * step_); }
  lm::Document View() const;

 private:
  void Hash(bool usable);

  TextWords text_;
  std::vector<Digest> words_;
  std::vector<Digest> pairs_;
  size_t step_ = 1;
};

// The formula core's model over the four indexes, in the roles' usual order.
lm::Model ModelOf(const CountIndex& protected_words, const CountIndex& unprotected_words,
                  const CountIndex& protected_pairs, const CountIndex& unprotected_pairs);
