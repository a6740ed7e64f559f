// A model as judging reads it, whether trained in this run or loaded from
// set files: each kind's two sides in one index, so that one call gives both
// sides' counts of a digest.
#pragma once

#include "core/digest_index.h"
#include "core/flat_set.h"
#include "core/model_files.h"
#include "core/sides_index.h"
#include "scoring/indexed_judge.h"

struct Model {
  bool language_model = false;
  SidesIndex shingles;      // shingle mode
  SidesIndex words;         // language-model mode
  SidesIndex pairs;         // language-model mode
  CountIndex common_pairs;  // with exclusive pairs: the pairs both sides held

  IndexedModel roles() const { return {&words, &pairs}; }
};

// From the sets of a training run, in slot order, which are released on the
// way. With exclusive_pairs the pairs both sides hold move to common_pairs.
// The sides are joined on up to `threads` threads.
Model PrepareModel(FlatSet (&sets)[kModelSlots], bool language_model, bool exclusive_pairs,
                   size_t threads = 1);
// From set files, in slot order, released on the way; shingles, and pairs
// not subtracted, are looked up where they were read (shared with other
// processes where the files are immutable). The words of a language model
// are joined: a vocabulary is small beside its pairs, and nearly every word
// of a document is in it.
Model PrepareModel(CountIndex (&files)[kModelSlots], bool language_model, bool exclusive_pairs,
                   size_t threads = 1);
