// The files of a model directory, as the tool saves them and every reader
// opens them. The slot order is the order of the model's four sets.
#pragma once

#include <string>
#include <vector>

enum ModelSlot {
  kProtectedWords = 0,    // protected words (shingles in shingle mode)
  kProtectedPairs = 1,    // protected word pairs
  kUnprotectedWords = 2,  // unprotected words (shingles)
  kUnprotectedPairs = 3,  // unprotected word pairs
};
inline constexpr int kModelSlots = 4;
inline constexpr const char* kModelFileNames[kModelSlots] = {"p.bin", "p.bin.2", "u.bin",
                                                             "u.bin.2"};
// Whether a slot holds word pairs: only language-model mode reads them, and
// theirs are the files that ask for huge pages. Shingle files are looked up
// where they were read, behind one filter of both sides; a language model's
// word files are joined into one index.
inline bool IsPairSlot(int slot) { return slot == kProtectedPairs || slot == kUnprotectedPairs; }

// The pair file of a set file: its name with this appended.
inline constexpr char kPairSuffix[] = ".2";

// The path of a slot's file in a model directory: the directory's name, a
// slash and the file name (a trailing slash of the name is kept).
inline std::string ModelFilePath(const std::string& directory, int slot) {
  return directory + "/" + kModelFileNames[slot];
}

// The paths of all four files, in slot order.
inline std::vector<std::string> ModelPaths(const std::string& directory) {
  std::vector<std::string> paths;
  for (int slot = 0; slot < kModelSlots; ++slot) paths.push_back(ModelFilePath(directory, slot));
  return paths;
}
