// Training straight into flat sets. Each learning file is read and normalised
// once, every shingle is hashed once from the normalised text, the file's
// repeats are merged (count = occurrences in the file), and its distinct
// digests are appended; the set is put into digest order once at the end.
// The result equals BuildShingles over the same files followed by a stable
// sort: equal digests of different files stay in file order, so the first
// file's record comes first, as ConvertToSet keeps it. No shingle text is
// kept, so memory does not depend on the shingle length.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/flat_set.h"
#include "core/text_options.h"

class ShingleAccumulator;

class Trainer {
 public:
  // One set per entry of lengths (words per shingle); counts are kept when
  // keep_counts is set. Texts are read with the given options (their
  // shingle length is not used: lengths says which sets are built).
  Trainer(const std::vector<int>& lengths, bool keep_counts, const TextOptions& text);
  ~Trainer();
  Trainer(const Trainer&) = delete;
  Trainer& operator=(const Trainer&) = delete;

  // Adds one learning file to every set. True when it was read completely
  // (an empty file too). Otherwise the system's message is on standard error
  // once per set, as building each set from the file reports it, and what
  // could be read is kept.
  bool AddFile(const std::string& name);
  // The sets in the order of lengths, in digest order; the trainer is then
  // empty.
  std::vector<FlatSet> Finish();

 private:
  TextOptions text_;
  std::vector<std::unique_ptr<ShingleAccumulator>> sets_;
};
