// The shingle-mode scoring run: one result line per data file.
#pragma once

#include "scoring/model.h"
#include "tool/options.h"
#include "tool/sources.h"

// Called by the driver once the model is prepared and data files are named.
// The documents are judged on up to jobs threads. With sources wanted, each
// document judged protected names them.
void RunShingleMode(const Model& model, const Options& options, const FileSettings& files,
                    const JudgingSettings& judging, size_t jobs, const RunSources& sources);
