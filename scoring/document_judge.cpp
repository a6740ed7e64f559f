#include "scoring/document_judge.h"

DocumentJudge::DocumentJudge(const Model& model, const ScoringOptions& scoring,
                             int32_t shingle_length, bool keep_whole, JudgeMemory reused)
    : model_(model), scoring_(scoring), kept_(std::move(reused.shingles)) {
  if (model.language_model) {
    lm_.emplace(scoring.formula, model.roles(), scoring.lm, keep_whole, std::move(reused.lm));
  } else {
    shingles_.emplace(std::move(kept_));
    shingles_->Restart(shingle_length);
  }
}

JudgeMemory DocumentJudge::TakeMemory() {
  JudgeMemory memory;
  if (lm_) memory.lm = lm_->TakeBuffers();
  memory.shingles = std::move(shingles_ ? *shingles_ : kept_);
  memory.shingles.Restart(1);
  return memory;
}

void DocumentJudge::Finish(WordsAndPairs& doc) {
  if (!lm_) {
    shingle_result_ = JudgeDistinctShingles(*shingles_, model_.shingles, scoring_);
  } else if (doc.usable()) {
    lm_result_ = lm_->result();
  } else {
    lm_result_ = JudgeDocument(scoring_.formula, doc, model_.roles(), scoring_.lm);
  }
}
