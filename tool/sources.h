// --sources=N: for each document judged protected, the protected learning
// files that share the most shingles (pairs) with it.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "core/digest_index.h"
#include "core/document.h"
#include "core/flat_set.h"
#include "core/provenance.h"
#include "core/sides_index.h"
#include "core/text_words.h"
#include "scoring/formula_core.h"
#include "scoring/indexed_judge.h"
#include "tool/options.h"

// The set whose records a sources file follows: the shingles, or for a
// language model the word pairs.
int SourcesSlot(bool language_model);

// The finder of a run, and how many files to name (0: --sources not given,
// or the model keeps no sources).
struct RunSources {
  SourceFinder finder;
  size_t most = 0;
  bool wanted() const { return most > 0; }
};

// A training's protected set with its records' files, and the names of the
// files in training order.
RunSources SourcesOfTraining(const FlatSet& protected_set, const std::vector<std::string>& names,
                             size_t most);
// With -f: the sources file beside the protected set file, when the model's
// description vouches for it and it follows the loaded set. Otherwise the
// reason goes to standard error once and no sources are named.
RunSources SourcesOfModel(const std::string& protected_path, const CountIndex& protected_set,
                          int slot, size_t most);

// The files of the records of a saved protected set, for the robust scan:
// empty with the reason in problem when the sources file beside it is
// missing, damaged or of other records.
SourceFinder FilesOfModel(const std::string& protected_path, const CountIndex& protected_set,
                          std::string& problem);

// The sources of a document in shingle mode: its distinct shingles only the
// protected side holds (the ones counted in P).
std::vector<Source> ShingleSources(const ShingleStream& document, const SidesIndex& shingles,
                                   const RunSources& sources);
// The sources of a language-model hit: the document's pairs, and those of
// the deciding window's phrase.
std::vector<Source> PairSources(WordsAndPairs& doc, const lm::Result& result,
                                const RunSources& sources);

// One line per source after the result: "source", the counts named, the
// path; tabs between.
void WriteSources(const std::vector<Source>& sources, bool language_model, std::ostream& out);
