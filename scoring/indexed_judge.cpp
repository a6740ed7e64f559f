#include "scoring/indexed_judge.h"

#include "core/document.h"
#include "core/shingle.h"

void WordsAndPairs::ReadFile(const std::string& name) { Hash(ReadDocument(name, 2, text_)); }

void WordsAndPairs::ReadBuffer(const char* text, size_t size) {
  Hash(ReadDocument(text, size, 2, text_));
}

void WordsAndPairs::Hash(bool usable) {
  if (!usable) return;
  step_ = static_cast<size_t>(CShingle::shingle_shift);
  text_.HashShingles(1, words_);
  text_.HashShingles(2, pairs_);
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
