// C++ side of the embedding interface.
#pragma once

#include <string>
#include <vector>

#include "core/digest_index.h"
#include "embed/tessel.h"
#include "scoring/model.h"

// The handle of the single-threaded interface: a language model, and how
// its texts are read.
struct tessel_model {
  tessel_model(CountIndex (&files)[kModelSlots], TextEncoding read_as)
      : model(PrepareModel(files, true, false)), encoding(read_as) {}
  Model model;
  TextEncoding encoding;
};

// Judges "data/test.txt" against the model directory "data" of the current
// directory and prints the verdict (1 or 0) on standard output.
void test();
