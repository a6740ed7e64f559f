#include "tool/text_output.h"

#include <ostream>

#include "compat/formula_lines.h"
#include "tool/file_list.h"
#include "tool/sources.h"

namespace {

void WriteVerdict(const ShingleResult& result, const ScoringOptions& scoring, std::ostream& out) {
  out << result.protected_count << (result.verdict ? ">=" : "<") << scoring.max_threshold;
  if (result.scaled)
    out << "*"
        << static_cast<double>(result.distinct) / static_cast<double>(scoring.size_threshold);
  out << "\n";
}

}  // namespace

void WriteShingleText(const std::string& name, const ShingleResult& result,
                      const ScoringOptions& scoring, const std::vector<Source>& sources,
                      std::ostream& out) {
  out << PrintableName(name) << "\t" << result.protected_count << "\t"
      << result.unprotected_count << "\t" << result.common_count << "\t";
  WriteVerdict(result, scoring, out);
  WriteSources(sources, false, out);
}

void WriteLanguageModelText(const std::string& name, int32_t formula, const lm::Result& result,
                            const std::vector<Source>& sources, std::ostream& out) {
  out << PrintableName(name) << "\t";
  lm::WriteFormulaLines(formula, result, out);
  out << std::boolalpha << result.verdict << "\n";
  WriteSources(sources, true, out);
}
