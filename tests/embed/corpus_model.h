// A model trained from the repository's example texts, as the tool trains
// and saves one, the texts to judge against it, and the interface's structs.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "compat/builder.h"
#include "compat/shingle_file.h"
#include "embed/tessel.h"
#include "support/test_support.h"

// The interface's structs as its own calls fill them.
inline tessel_verdict_t NewVerdict() { tessel_verdict_t v; tessel_verdict_init(&v); return v; }
inline tessel_settings_t DefaultSettings() {
  tessel_settings_t settings;
  tessel_settings_default(&settings);
  return settings;
}
inline tessel_judge_options_t JudgeDefaults() {
  tessel_judge_options_t options;
  tessel_judge_options_default(&options);
  return options;
}
inline tessel_open_options_t OpenDefaults() {
  tessel_open_options_t options;
  tessel_open_options_default(&options);
  return options;
}

namespace corpus {

inline std::vector<std::string> Texts(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".txt") names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

#define TESSEL_EXAMPLES TESSEL_TEST_DATA "/../../examples/corpus"
inline const std::vector<std::string> kSides[2][2] = {
    {Texts(TESSEL_TEST_DATA "/lm/prot"), Texts(TESSEL_TEST_DATA "/lm/plain")},
    {Texts(TESSEL_EXAMPLES "/protected"), Texts(TESSEL_EXAMPLES "/unprotected")}};
inline const char* const kFiles[2][2] = {{"/p.bin", "/p.bin.2"}, {"/u.bin", "/u.bin.2"}};

// Trains both sides of corpus `which` per file and saves the four set files;
// sets[side][n - 1] keeps the trained sets, in digest order as saved.
inline void WriteModel(const std::string& dir, int which, CShingleSet (*sets)[2] = nullptr) {
  CShingleSet own[2][2];
  if (sets == nullptr) sets = own;
  for (int n = 1; n <= 2; ++n) {
    for (int side = 0; side < 2; ++side) {
      for (const std::string& name : kSides[which][side]) BuildShingles(name, sets[side][n - 1], n);
      saveShinglesToFile(dir + kFiles[side][n - 1], sets[side][n - 1]);
    }
  }
}

// A temporary directory holding the model of corpus `which`.
struct ModelDir : TempDir {
  explicit ModelDir(int which) { WriteModel(path(), which); }
};

// Every text of both corpora, learning files included.
inline std::vector<std::string> Documents() {
  std::vector<std::string> all;
  for (const char* folder :
       {TESSEL_TEST_DATA "/lm/docs", TESSEL_TEST_DATA "/lm/prot", TESSEL_TEST_DATA "/lm/plain",
        TESSEL_EXAMPLES "/docs", TESSEL_EXAMPLES "/protected", TESSEL_EXAMPLES "/unprotected"})
    for (const std::string& name : Texts(folder)) all.push_back(name);
  return all;
}

}  // namespace corpus
