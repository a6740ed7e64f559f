// The side files of a saved model that name where its protected records came
// from: the sources file (tessel.sources) and, for the robust scan, the
// chains file (tessel.chains). The tool and the C interfaces read them the
// same way, and name sources the same way.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/digest_index.h"
#include "core/document.h"
#include "core/provenance.h"
#include "core/sides_index.h"
#include "core/text_words.h"
#include "scoring/formula_core.h"
#include "scoring/indexed_judge.h"
#include "scoring/robust_judge.h"

// The finder of the sources file in directory for the loaded protected set
// of the given slot. Empty, with the reason in problem, when the file cannot
// name its sources: missing (missing is set), damaged, not vouched for by the
// model's description, or of other records.
SourceFinder SourcesOfDirectory(const std::string& directory, const CountIndex& protected_set,
                                int slot, std::string& problem, bool& missing);

// Reads the chains file in directory into sources (its shorter units, with
// the paths of sources.shingles); the reason when it cannot serve, or the
// empty string (also for a model saved without one: no shorter units).
std::string ChainsOfDirectory(const std::string& directory, RobustSources& sources);

// Up to most sources of a document in shingle mode: its distinct shingles
// only the protected side holds (the ones counted in P).
std::vector<Source> ShingleSourcesOf(const ShingleStream& document, const SidesIndex& shingles,
                                     const SourceFinder& finder, size_t most);
// Up to most sources of a language-model hit: the document's pairs, and
// those of the deciding window's phrase.
std::vector<Source> PairSourcesOf(WordsAndPairs& doc, const lm::Result& result,
                                  const SourceFinder& finder, size_t most);
