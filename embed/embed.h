// C++ side of the embedding interface.
#pragma once

#include <string>
#include <vector>

#include "core/digest_index.h"
#include "embed/tessel.h"
#include "scoring/model.h"

// The handle of the single-threaded interface: a language model.
struct tessel_model {
  explicit tessel_model(CountIndex (&files)[kModelSlots])
      : model(PrepareModel(files, true, false)) {}
  Model model;
};

// Judges "data/test.txt" against the model directory "data" of the current
// directory and prints the verdict (1 or 0) on standard output.
void test();
