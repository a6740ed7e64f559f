// The shingle-mode scoring run: one result line per data file.
#pragma once

#include "scoring/model.h"
#include "tool/options.h"

// Called by the driver once the model is prepared and DataFiles is not empty.
void RunShingleMode(const Model& model, const RunSettings& settings, const Options& options);
