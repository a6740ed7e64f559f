// Preparation of the trained sets for judging: from the flat sets of
// training, or from set files loaded as they are, to the indexes the data
// loops look digests up in.
#pragma once

#include "core/flat_set.h"
#include "tool/driver.h"
#include "tool/options.h"

// Joins the sets of a training run for judging, releasing them.
void PrepareTrained(TrainedSets& sets, bool language_model, JudgingModel& model);
// Reads the set files that -f names, as the trained sets would be loaded;
// false (after every failed file's message) when one cannot be loaded, or
// when the last save into their directories did not finish.
bool LoadJudgingModel(const RunSettings& settings, bool language_model, JudgingModel& model);
// Joins the loaded sets of -f for judging (lm_sub first moving the shared
// pairs to the common set), releasing them; pairs not subtracted are kept
// as loaded.
void PrepareLoaded(bool language_model, JudgingModel& model);
