// The trained sets of one run of the tool and the pieces of the driver that
// the language-model run shares with shingle mode.
#pragma once

#include "core/flat_set.h"
#include "core/shingle.h"
#include "tool/options.h"

// The trained sets by role, as training or loading gives them.
struct TrainedSets {
  FlatSet protected_set;
  FlatSet unprotected_set;
  FlatSet protected_pairs;
  FlatSet unprotected_pairs;
  FlatSet common_set;
};

// The trained sets in the form the language-model judging reads: shingle
// lists, the four trained ones indexed by ConvertToSet.
struct ListedSets {
  CShingleSet protected_set;
  CShingleSet unprotected_set;
  CShingleSet protected_pairs;
  CShingleSet unprotected_pairs;
  CShingleSet common_set;
};

// "\n\nProtected:\n", the protected, unprotected and common matches of the
// document with their totals.
void WriteDetailedBlock(CShingleSet& document, ListedSets& sets);

// The run after option parsing: the subtraction, or a scoring run in shingle
// or language-model mode.
void RunDriver(const RunSettings& settings);
