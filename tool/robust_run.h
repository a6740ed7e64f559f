// The robust scan (--robust): one result line per data file, graded by the
// chains of protected-only shingles from one protected file.
#pragma once

#include <string>

#include "core/digest_index.h"
#include "core/provenance.h"
#include "scoring/model.h"
#include "scoring/robust_judge.h"
#include "tool/options.h"

// What --robust cannot be combined with, reported; true when the run stops.
bool RobustRunIsRefused(const RunSettings& settings);
// With -f: whether the model of the protected set file was trained with
// --robust; false after the message.
bool IsRobustModel(const std::string& protected_path);
// With -f: the files of the saved model's protected records and its
// shorter units (tessel.chains). False, after the message, when its sources
// or chains file is missing, damaged or not the model's own.
bool RobustFilesOfModel(const std::string& protected_path, const CountIndex& protected_set,
                        RobustSources& sources);
// Called by the driver once the model is prepared and data files are named;
// the documents are judged on up to jobs threads.
void RunRobust(const Model& model, const Options& options, const FileSettings& files,
               const JudgingSettings& judging, const RobustSettings& robust, size_t jobs,
               const RobustSources& sources);
