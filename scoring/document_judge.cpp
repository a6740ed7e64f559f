#include "scoring/document_judge.h"

DocumentJudge::DocumentJudge(const Model& model, const ScoringOptions& scoring,
                             int32_t shingle_length, bool keep_whole)
    : model_(model), scoring_(scoring) {
  if (model.language_model)
    lm_.emplace(scoring.formula, model.roles(), scoring.lm, keep_whole);
  else
    shingles_.emplace(shingle_length);
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
