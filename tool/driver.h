// The trained sets of one run of the tool and the pieces of the driver that
// the language-model run shares with shingle mode.
#pragma once

#include "core/digest_index.h"
#include "core/sides_index.h"
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

// The sets as judging reads them. With -f the four set files are first
// loaded into the CountIndexes; preparing joins each kind's two sides into
// one index (the shingles, or the words, and the pairs), where one look-up
// per digest gives both sides' counts, and releases what was joined. In
// language-model mode common_set holds the pairs that lm_sub moved out of
// the two pair sets.
struct JudgingModel {
  static constexpr int32_t kProtectedSide = SidesIndex::kProtected;
  static constexpr int32_t kUnprotectedSide = SidesIndex::kUnprotected;

  CountIndex protected_set;
  CountIndex unprotected_set;
  CountIndex protected_pairs;
  CountIndex unprotected_pairs;
  CountIndex common_set;
  SidesIndex sets;
  SidesIndex pairs;
};

// "\n\nProtected:\n", the protected, unprotected and common matches of the
// language-model document's words with their totals.
void WriteDetailedBlock(CShingleSet& document, const JudgingModel& model);

// The run after option parsing: the subtraction, or a scoring run in shingle
// or language-model mode.
void RunDriver(const RunSettings& settings);
