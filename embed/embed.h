// C++ side of the embedding interface.
#pragma once

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

// The handle: the model's four sets in slot order p.bin, p.bin.2, u.bin,
// u.bin.2, each mapped from its file, and the roles they play in judging.
struct tessel_model {
  CountIndex slots[4];
  IndexedModel roles;
};

// Judges "data/test.txt" against the model directory "data" of the current
// directory and prints the verdict (1 or 0) on standard output.
void test();
