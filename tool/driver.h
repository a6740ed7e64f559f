// The trained sets of one run of the tool and the pieces of the driver that
// the language-model run shares with shingle mode.
#pragma once

#include "core/shingle.h"
#include "tool/options.h"

struct TrainedSets {
  CShingleSet protected_set;
  CShingleSet unprotected_set;
  CShingleSet protected_pairs;
  CShingleSet unprotected_pairs;
  CShingleSet common_set;
};

// "\n\nProtected:\n", the protected, unprotected and common matches of the
// document with their totals.
void WriteDetailedBlock(CShingleSet& document, TrainedSets& sets);

// The run after option parsing: the subtraction, or a scoring run in shingle
// or language-model mode.
void RunDriver(const RunSettings& settings);
