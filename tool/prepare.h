// Loading the set files that -f names.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/digest_index.h"
#include "core/model_files.h"
#include "tool/options.h"

// The set files -f reads, with their slots: the pair files only for a
// language model, the unprotected side only when named.
std::vector<std::pair<std::string, int>> SetFilesOf(const FileSettings& files,
                                                    bool language_model);

// Reads the set files that -f names into their slots (the pair files only
// for a language model, the unprotected side only when named); false (after
// every failed file's message) when one cannot be loaded, or when the last
// save into their directories did not finish.
// The files are read on up to `threads` threads.
bool LoadSetFiles(const FileSettings& settings, bool language_model, size_t threads,
                  CountIndex (&files)[kModelSlots]);
