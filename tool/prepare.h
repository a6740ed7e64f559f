// Preparation of the trained sets for judging: from the flat sets of
// training, or from set files mapped as they are, to the indexes the data
// loops look digests up in.
#pragma once

#include "core/flat_set.h"
#include "tool/driver.h"
#include "tool/options.h"

// Indexes the sets of a training run.
void PrepareTrained(TrainedSets& sets, bool language_model, JudgingModel& model);
// Maps the set files that -f names, as the trained sets would be loaded;
// false (after every failed file's message) when one cannot be loaded.
bool LoadJudgingModel(const RunSettings& settings, bool language_model, JudgingModel& model);
// lm_sub on a loaded model: the shared pairs move to the common set.
void SubtractLoadedPairs(JudgingModel& model);
// Shingle mode: joins the protected and unprotected sets into shingle_sides
// and releases them.
void JoinSides(JudgingModel& model);
