// The tool's default output, for people and for -x: one result line per
// judged document, built from its result like the JSON lines of
// json_output.h, so that the runs only choose a printer.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/provenance.h"
#include "scoring/formula_core.h"
#include "scoring/options.h"
#include "scoring/shingle_judge.h"

// NAME, P, U, C and the verdict ("P>=M", "P<M", or with the threshold
// scaled for a short document "P>=M*R"), then a line per source.
void WriteShingleText(const std::string& name, const ShingleResult& result,
                      const ScoringOptions& scoring, const std::vector<Source>& sources,
                      std::ostream& out);
// NAME and a tab, the formula's own lines ("values:", the phrase), the
// verdict as true or false, then a line per source.
void WriteLanguageModelText(const std::string& name, int32_t formula, const lm::Result& result,
                            const std::vector<Source>& sources, std::ostream& out);
