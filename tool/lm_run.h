// The language-model scoring run: data loop, evaluation pass, evaluation line.
#pragma once

#include "scoring/model.h"
#include "tool/options.h"
#include "tool/sources.h"

// Called by the driver after the trained sets are prepared and when data files
// are named (a pattern or a list). The documents are judged on up to jobs
// threads. With evaluate the protected learning files are judged again for
// the evaluation line's recall. With sources wanted, each hit names them.
void RunLanguageModel(const Model& model, const Options& options, const FileSettings& files,
                      const JudgingSettings& judging, bool evaluate, size_t jobs,
                      const RunSources& sources);
