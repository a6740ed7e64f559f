// C++ side of the embedding interface.
#pragma once

#include <string>
#include <vector>

#include "core/digest_index.h"
#include "embed/tessel.h"
#include "scoring/indexed_judge.h"

// The files of a model directory, appended to its path, in slot order.
enum ModelSlot {
  kProtectedWords = 0,
  kProtectedPairs = 1,
  kUnprotectedWords = 2,
  kUnprotectedPairs = 3,
};
inline constexpr const char* kModelFiles[4] = {"/p.bin", "/p.bin.2", "/u.bin", "/u.bin.2"};
// The paths of a model directory's files, in slot order.
inline std::vector<std::string> ModelPaths(const std::string& directory) {
  return {directory + kModelFiles[0], directory + kModelFiles[1], directory + kModelFiles[2],
          directory + kModelFiles[3]};
}

// A model directory's four sets, both sides of each kind in one index.
struct JoinedModel {
  SidesIndex words;
  SidesIndex pairs;

  // The sets read from the files, in slot order: the words joined (a
  // model's vocabulary is small beside its pairs, and every learning file
  // repeats it), the pairs kept as read (shared with other processes where
  // the files are immutable).
  explicit JoinedModel(CountIndex (&files)[4])
      : words(SidesIndex::Join(RecordsOf(files[kProtectedWords]),
                               RecordsOf(files[kUnprotectedWords]))),
        pairs(SidesIndex::Share(std::move(files[kProtectedPairs]),
                                std::move(files[kUnprotectedPairs]))) {}
  IndexedModel roles() const { return {&words, &pairs}; }
};

// The handle of the single-threaded interface.
struct tessel_model {
  explicit tessel_model(CountIndex (&files)[4]) : model(files) {}
  JoinedModel model;
};

// Judges "data/test.txt" against the model directory "data" of the current
// directory and prints the verdict (1 or 0) on standard output.
void test();
