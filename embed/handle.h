// The handle of the thread-safe interface and what its calls share.
#pragma once

#include <string>

#include "core/digest_index.h"
#include "core/model_files.h"
#include "core/status.h"
#include "core/text_options.h"
#include "core/provenance.h"
#include "scoring/model.h"
#include "scoring/robust_judge.h"

// An open model: read-only after opening, so any number of judge calls may
// use it at once.
struct tessel_t {
  explicit tessel_t(Model&& joined) : model(std::move(joined)) {}
  tessel_t(const tessel_t&) = delete;
  tessel_t& operator=(const tessel_t&) = delete;

  Model model;
  StopWordSet stop_words;  // the handle's own, when it was opened with a file
  TextOptions text;        // how its texts are read
  bool robust = false;     // judged by the robust scan (TESSEL_MODE_ROBUST)
  SourceFinder sources;    // opened with sources: the protected file of each record
  RobustSources units;     // the robust scan's units and their protected files

  // The protected files a verdict's source indexes.
  const SourceFinder& files() const { return robust ? units.shingles : sources; }
};

// Stores a copy of message in *errptr (freeing what was there) unless
// errptr is null, and code as the calling thread's last error code
// (tessel_last_error_code). Allocates nothing that could throw.
void SetError(char** errptr, StatusCode code, const char* message) noexcept;
void SetError(char** errptr, const Status& status) noexcept;
// Sets the calling thread's last error code back to an earlier value: a
// batch's items may fail on the caller's thread while the call succeeds.
void RestoreLastErrorCode(int code) noexcept;
// A system error: what, the path, ": " and the reason, of the kind the
// error number stands for.
Status SystemError(const std::string& what, const std::string& path, int error);
// Reads the model directory's files (the pair files only for a language
// model) under a shared lock of the directory; why the model cannot be
// used: a save into it did not finish (incomplete save), a file does not
// open for reading (not found, not a directory, I/O), is not a regular file
// or does not hold whole 16-byte records (damaged), or the description
// refuses the files (damaged, mixed, invalid argument).
// The model's description, when it has one, must agree with the files and
// with the text options the model is to be read with. When encoding is not
// null, it receives the rule the description records (it is left as it is
// without a description), read under the same lock as the files.
Status LoadModelFiles(const std::string& directory, bool language_model,
                      const TextOptions& text, CountIndex (&files)[kModelSlots],
                      TextEncoding* encoding = nullptr);
