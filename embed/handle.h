// The handle of the thread-safe interface and what its calls share.
#pragma once

#include <string>

#include "core/digest_index.h"
#include "core/model_files.h"
#include "core/text_options.h"
#include "scoring/model.h"

// An open model: read-only after opening, so any number of judge calls may
// use it at once.
struct tessel_t {
  explicit tessel_t(Model&& joined) : model(std::move(joined)) {}
  tessel_t(const tessel_t&) = delete;
  tessel_t& operator=(const tessel_t&) = delete;

  Model model;
  StopWordSet stop_words;  // the handle's own, when it was opened with a file
  TextOptions text;        // how its texts are read
};

// Stores a copy of message in *errptr (freeing what was there) unless
// errptr is null. Allocates nothing that could throw.
void SetError(char** errptr, const char* message) noexcept;
// The message of a system error: what, the path, ": " and the reason.
std::string SystemError(const std::string& what, const std::string& path, int error);
// Reads the model directory's files (the pair files only for a language
// model) under a shared lock of the directory; the empty string, or why the
// model cannot be used: a save into it did not finish, or a file does not
// open for reading, is not a regular file or does not hold whole 16-byte
// records.
// The model's description, when it has one, must agree with the files and
// with the text options the model is to be read with. When encoding is not
// null, it receives the rule the description records (it is left as it is
// without a description), read under the same lock as the files.
std::string LoadModelFiles(const std::string& directory, bool language_model,
                           const TextOptions& text, CountIndex (&files)[kModelSlots],
                           TextEncoding* encoding = nullptr);
