// The driver of one run of the tool.
#pragma once

#include "tool/options.h"

// The run after option parsing: the subtraction, or training or loading a
// model, saving it, and a scoring run in shingle or language-model mode.
void RunDriver(const RunSettings& settings);
