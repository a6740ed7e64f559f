// The description a saved model carries beside its four set files
// ("tessel.model"): how it was trained, and a checksum of each set file, so
// that a reader can refuse settings that contradict the model and files that
// do not belong together. Text, one "key value" a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/digest.h"
#include "core/digest_index.h"
#include "core/model_files.h"
#include "core/records_checksum.h"
#include "core/set_file.h"
#include "core/status.h"
#include "core/text_options.h"

inline constexpr char kModelDescriptionFile[] = "tessel.model";
inline constexpr int kModelFormatVersion = 1;

struct ModelDescription {
  int format = kModelFormatVersion;
  bool language_model = false;
  int32_t shingle_length = 5;  // shingle mode only
  int32_t shingle_shift = 1;
  std::string encoding = "cp1251";
  bool upper_case = false;
  std::string stop_words = "none";  // MD5 of the stop-word set, or "none"
  uint64_t records[kModelSlots] = {0, 0, 0, 0};
  uint64_t checksums[kModelSlots] = {0, 0, 0, 0};
  // The sources file saved with the sets (tessel.sources), when there is one:
  // its size and the checksum of its bytes (FileChecksum).
  bool has_sources = false;
  uint64_t sources_bytes = 0;
  uint64_t sources_checksum = 0;
  // Trained with --robust: judging with --robust reads this model ("profile
  // robust"; a model without the line was trained for the exact modes).
  bool robust = false;
  // Its chains file (tessel.chains, the robust scan's shorter units), when
  // there is one: size and checksum, as for the sources file.
  bool has_chains = false;
  uint64_t chains_bytes = 0;
  uint64_t chains_checksum = 0;
};

// The checksum of a whole file's bytes: ChecksumOfRecords over its complete
// 16-byte pieces (a file the tool writes has no partial one).
uint64_t FileChecksum(const std::string& bytes);
// The same of the bytes of pieces in order, as if joined.
uint64_t FileChecksum(const std::vector<FilePiece>& pieces);

// The digest of a stop-word set ("none" for an empty one): the MD5 of its
// words in order, each followed by a line feed.
std::string StopWordsDigest(const StopWordSet* words);

std::string FormatModelDescription(const ModelDescription& description);
// Parses a description; false with the reason in error for text that is not
// one (unknown keys are ignored, so later versions may add lines).
bool ParseModelDescription(const std::string& text, ModelDescription& description,
                           std::string& error);

// The first setting of the options that contradicts the model, as
// "NAME: model V, given W", or the empty string when none does.
std::string ContradictedSetting(const ModelDescription& model, bool language_model,
                                const TextOptions& text);

// The description of a training with these settings (records and checksums
// still 0).
ModelDescription DescribeTraining(bool language_model, const TextOptions& text);

// Reads a model directory's description: false when it has none or it
// cannot be parsed.
bool ReadModelDescription(const std::string& directory, ModelDescription& description);

// The rule the description records for reading texts ("auto", "utf-8" or
// "cp1251"): false for a name this version does not know.
bool DescribedEncoding(const ModelDescription& description, TextEncoding& encoding);
// The rule of a model directory's description: fallback when it has none, or
// one this version cannot read.
TextEncoding ModelEncoding(const std::string& directory, TextEncoding fallback);

// Checks a model directory's description, when it has one, against the set
// files read from it (null for a slot not read) and, when text is given,
// against the settings the model is to be read with. Why the model must be
// refused: its description is damaged (damaged), a file does not match it
// (mixed: a damaged file or one of another save), or a setting contradicts
// it (invalid argument).
// A file is named by its base name, or by names[slot] when that is given and
// not empty (a file read from elsewhere).
Status CheckModelDescription(const std::string& directory,
                                  const CountIndex* const (&files)[kModelSlots],
                                  bool language_model, const TextOptions* text,
                                  const std::string* names = nullptr);
