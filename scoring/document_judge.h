// One document judged against a model in the model's mode while it is read:
// the distinct shingles counted (shingle mode), or the formula's windows
// judged as the words arrive (language-model mode). Every caller that judges
// a file or a buffer (the tool's runs, the C interfaces) reads through
// Judge and takes the result here.
#pragma once

#include <cstdint>
#include <optional>

#include "core/document.h"
#include "core/text_words.h"
#include "scoring/indexed_judge.h"
#include "scoring/model.h"
#include "scoring/options.h"
#include "scoring/shingle_judge.h"

// The memory a judgement gathers digests in, which a judge may take from
// an earlier one (DocumentJudge::TakeMemory) so as not to allocate it afresh.
struct JudgeMemory {
  ShingleStream shingles{1};
  LmStream::Buffers lm;
};

class DocumentJudge {
 public:
  // Shingles of shingle_length words in shingle mode. keep_whole keeps every
  // word of a language-model document until its end (the detailed block and
  // the sources of a hit look at all of them). The judgement gathers its
  // digests in reused's memory.
  DocumentJudge(const Model& model, const ScoringOptions& scoring, int32_t shingle_length,
                bool keep_whole = false, JudgeMemory reused = {});
  // The memory, emptied, for another judgement; this one is done with.
  JudgeMemory TakeMemory();

  // Judges doc while read(words) reads it; read tells whether the words are
  // usable, and its answer is returned.
  template <typename Read>
  bool Judge(WordsAndPairs& doc, Read read) {
    Begin(doc);
    const bool usable = doc.ReadWith(read);
    Finish(doc);
    return usable;
  }
  // The same for a text pushed a piece at a time: Begin, then the pieces fed
  // to doc's words and the words finished (through doc.ReadWith), then
  // Finish.
  void Begin(WordsAndPairs& doc) {
    if (lm_) {
      doc.StreamTo([this](const TextWords& text, bool ended) { return lm_->Take(text, ended); });
    } else {
      doc.StreamTo([this](const TextWords& text, bool) { return shingles_->Take(text); });
    }
  }
  void Finish(WordsAndPairs& doc);

  // Shingle mode: the counts and verdict, and the distinct shingles.
  const ShingleResult& shingle_result() const { return shingle_result_; }
  const ShingleStream& shingles() const { return *shingles_; }
  // Language-model mode: the formula's result (for words that were not
  // usable, the formula's judgement of an empty text), and where its phrase
  // lies in the bytes read.
  const lm::Result& lm_result() const { return lm_result_; }
  const PhraseBytes& phrase() const { return lm_->phrase(); }

 private:
  const Model& model_;
  const ScoringOptions scoring_;
  std::optional<LmStream> lm_;
  std::optional<ShingleStream> shingles_;
  ShingleStream kept_;  // a language model's: the shingles' memory, for the next judgement
  ShingleResult shingle_result_;
  lm::Result lm_result_;
};
