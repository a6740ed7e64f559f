// Everything that decides a verdict, as one value: how texts are cut
// (TextOptions) and how they are scored. The tool and the C interfaces fill
// one at their boundary and pass it down; nothing below them reads a
// process-wide setting.
#pragma once

#include <cstdint>

#include "core/text_options.h"
#include "scoring/formula_core.h"

struct ScoringOptions {
  int32_t formula = 0;          // 0 shingle mode; 1, 2, above 2: Formula1, Formula2, Formula3
  lm::Settings lm;              // the formulas' settings
  int32_t max_threshold = 10;   // shingle mode: protected shingles that flag a document
  int32_t size_threshold = 100; // shingle mode: distinct shingles below which it is scaled
  bool exclusive_pairs = false; // pairs both sides hold move to the common set
};

struct Options {
  TextOptions text;
  ScoringOptions scoring;
};
