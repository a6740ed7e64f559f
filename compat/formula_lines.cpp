#include "compat/formula_lines.h"
#include "compat/messages.h"

#include <ostream>


namespace lm {

namespace {

void WriteValues(double protected_score, double unprotected_score, std::ostream& out) {
  out << "values: \t" << protected_score << '\t' << unprotected_score << '\n';
}

}  // namespace

void WriteFormulaLines(int formula, const Result& result, std::ostream& out) {
  if (!result.hits.empty()) {  // detailed Formula1
    for (const auto& [protected_score, unprotected_score] : result.hits)
      WriteValues(protected_score, unprotected_score, out);
    for (const auto& [phrase, count] : result.tally)
      out << "count: " << count << " string: " << phrase << '\n';
    return;
  }
  if (!result.verdict) return;
  WriteValues(result.protected_score, result.unprotected_score, out);
  if (formula == 1) {
    out << "string:\n" << result.phrase_text << '\n';
    return;
  }
  // Formula2 and Formula3: a heading, then each word with a space before it.
  out << "String:\n";
  if (result.phrase_words != 0) out << ' ' << result.phrase_text;
  out << '\n';
}

void WriteFormulaMessages(const Result& result, std::ostream& err) {
  if (result.refusal == Refusal::kEmpty) err << messages::kEmptyDocMessage;
  if (result.refusal == Refusal::kSizeMismatch)
    err << messages::kSizeErrorPrefix << result.refused_words << messages::kSizeErrorMiddle
        << result.refused_pairs << "\n";
}

void WriteFormulaOutput(int formula, const Result& result, std::ostream& out,
                        std::ostream& err) {
  WriteFormulaMessages(result, err);
  WriteFormulaLines(formula, result, out);
}

}  // namespace lm
