// The language-model scoring run: data loop, evaluation pass, evaluation line.
#pragma once

#include "scoring/model.h"
#include "tool/options.h"
#include "tool/sources.h"

// Called by the driver after the trained sets are prepared and when data files
// are named (a pattern or a list).
// With sources wanted, each hit names them.
void RunLanguageModel(const Model& model, const RunSettings& settings, const Options& options,
                      const RunSources& sources);
