// The trained sets of one run of the tool and the pieces of the driver that
// the language-model run shares with shingle mode.
#pragma once

#include "core/shingle.h"
#include "scoring/model.h"
#include "tool/options.h"

// "\n\nProtected:\n", the protected, unprotected and common matches of the
// language-model document's words with their totals.
void WriteDetailedBlock(CShingleSet& document, const Model& model);

// The run after option parsing: the subtraction, or a scoring run in shingle
// or language-model mode.
void RunDriver(const RunSettings& settings);
