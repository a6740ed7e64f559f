// The lines the language-model formulas are defined to write for a document:
// a hit's "values:" line and its phrase (Formula1's detailed form: a
// "values:" line per hit window, then each flagged phrase with its count) on
// the result stream, and the message of a document a formula refuses on the
// error stream. The exported formulas, _processShingles and the tool's text
// output all print a result through these.
#pragma once

#include <iosfwd>

#include "scoring/formula_core.h"

namespace lm {

// The result lines of formula 1, 2, or above (Formula3).
void WriteFormulaLines(int formula, const Result& result, std::ostream& out);
// The refusal's message, if any.
void WriteFormulaMessages(const Result& result, std::ostream& err);
// Both, as the exported formulas write them.
void WriteFormulaOutput(int formula, const Result& result, std::ostream& out,
                        std::ostream& err);

}  // namespace lm
