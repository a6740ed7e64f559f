#include "tool/lm_run.h"

// Placeholder until the language-model run lands.
void RunLanguageModel(TrainedSets&, const RunSettings&) {}
