// Preparation of the trained sets for judging: from the flat sets of
// training, or from set files mapped as they are, to the indexes the data
// loops look digests up in.
#pragma once

#include "core/flat_set.h"
#include "tool/driver.h"
#include "tool/options.h"

// Joins the sets of a training run for judging, releasing them.
// With exclusive_pairs the pairs both sides hold move to the common set.
void PrepareTrained(TrainedSets& sets, bool language_model, bool exclusive_pairs,
                    JudgingModel& model);
// Maps the set files that -f names, as the trained sets would be loaded;
// false (after every failed file's message) when one cannot be loaded.
bool LoadJudgingModel(const RunSettings& settings, bool language_model, JudgingModel& model);
// Joins the mapped sets of -f for judging (exclusive_pairs first moving the
// shared pairs to the common set), releasing them; pairs not subtracted keep
// their mappings.
void PrepareLoaded(bool language_model, bool exclusive_pairs, JudgingModel& model);
