// The trained sets of one run of the tool and the pieces of the driver that
// the language-model run shares with shingle mode.
#pragma once

#include "core/digest_index.h"
#include "core/flat_set.h"
#include "core/shingle.h"
#include "tool/options.h"

// The trained sets by role, as training builds them (and as saving writes
// them): digests in ascending order, each learning file's record of a digest
// in file order.
struct TrainedSets {
  FlatSet protected_set;
  FlatSet unprotected_set;
  FlatSet protected_pairs;
  FlatSet unprotected_pairs;
};

// The prepared sets as judging reads them. In language-model mode
// common_set holds the pairs that lm_sub moved out of the two pair sets. In
// shingle mode one index holds the shingles of both sides, each with the
// sides that hold it as its count: a document's protected, unprotected and
// common matches follow from one look-up per shingle.
struct JudgingModel {
  static constexpr int32_t kProtectedSide = 1;
  static constexpr int32_t kUnprotectedSide = 2;

  CountIndex protected_set;
  CountIndex unprotected_set;
  CountIndex protected_pairs;
  CountIndex unprotected_pairs;
  CountIndex common_set;
  CountIndex shingle_sides;
};

// "\n\nProtected:\n", the protected, unprotected and common matches of the
// language-model document's words with their totals.
void WriteDetailedBlock(CShingleSet& document, const JudgingModel& model);

// The run after option parsing: the subtraction, or a scoring run in shingle
// or language-model mode.
void RunDriver(const RunSettings& settings);
