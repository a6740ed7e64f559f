// A model trained from the repository's example texts, as the tool trains
// and saves one, and the texts to judge against it.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/builder.h"
#include "core/set_file.h"

namespace corpus {

inline std::vector<std::string> Texts(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".txt") names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

#define TESSEL_EXAMPLES TESSEL_TEST_DATA "/../../examples/corpus"
inline const std::vector<std::string> kProtected[2] = {Texts(TESSEL_TEST_DATA "/lm/prot"),
                                                       Texts(TESSEL_EXAMPLES "/protected")};
inline const std::vector<std::string> kUnprotected[2] = {Texts(TESSEL_TEST_DATA "/lm/plain"),
                                                         Texts(TESSEL_EXAMPLES "/unprotected")};

// Trains both sides of corpus `which` per file and saves the four set files.
inline void WriteModel(const std::string& dir, int which) {
  const char* files[2][2] = {{"/p.bin", "/p.bin.2"}, {"/u.bin", "/u.bin.2"}};
  for (int n = 1; n <= 2; ++n) {
    CShingleSet sides[2];
    for (const std::string& name : kProtected[which]) BuildShingles(name, sides[0], n);
    for (const std::string& name : kUnprotected[which]) BuildShingles(name, sides[1], n);
    for (int side = 0; side < 2; ++side) saveShinglesToFile(dir + files[side][n - 1], sides[side]);
  }
}

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
