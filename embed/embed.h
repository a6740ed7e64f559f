// C++ side of the embedding interface.
#pragma once

#include "core/digest_index.h"
#include "embed/tessel.h"
#include "scoring/formula_core.h"

// The handle: the model's four sets in slot order p.bin, p.bin.2, u.bin,
// u.bin.2, each mapped from its file, and the formula core's view of them.
struct tessel_model {
  CountIndex slots[4];
  lm::Model counts;
};

// Judges "data/test.txt" against the model directory "data" of the current
// directory and prints the verdict (1 or 0) on standard output.
void test();
