#include "tool/robust_run.h"

#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "core/chain_units.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/model_description.h"
#include "core/ordered_run.h"
#include "core/out_of_memory.h"
#include "scoring/model_sources.h"
#include "scoring/robust_judge.h"
#include "tool/document_input.h"
#include "tool/document_output.h"
#include "tool/exit_status.h"
#include "tool/file_list.h"
#include "tool/json_output.h"
#include "tool/messages.h"
#include "tool/sources.h"

namespace {

constexpr char kRobustWith[] = "Error: --robust cannot be combined with ";

// A document's shingles in text order are kept whole (a chain needs their
// positions), then judged. A document that is not read gets no line; in JSON
// one that could not be read gets an error, a binary one is skipped.
void ScoreRobustFile(const std::string& name, const Model& model, const Options& options,
                     const JudgingSettings& judging, double threshold,
                     const RobustSources& sources, DocumentOutput& output, bool& verdict) {
  TextWords words(options.text);
  const DocumentRead read = ReadDataFile(name, judging.reading, 1, words, output.err);
  output.failed = read == DocumentRead::kFailed;
  if (judging.Json && read != DocumentRead::kRead && read != DocumentRead::kFailed) {
    output.out << JsonSkippedLine(name, kRobustFormula, messages::kBinaryReason);
    return;
  }
  if (judging.Json && output.failed) {
    output.out << JsonErrorLine(name, kRobustFormula, output.err.str());
    return;
  }
  if (read != DocumentRead::kRead) return;
  const RobustResult result =
      JudgeRobustWords(words, options.text.shingle_length, model.shingles, sources, threshold);
  const SourceFinder& files = sources.shingles;
  verdict = result.verdict;
  if (judging.Json) {
    const std::string* source = result.file == kNoFile ? nullptr : &files.PathOf(result.file);
    output.out << JsonRobustLine(name, result, threshold, source);
    return;
  }
  output.out << PrintableName(name) << "\t" << result.protected_count << "\t" << result.score
             << (result.verdict ? ">=" : "<") << threshold << "\n";
  if (judging.Sources > 0 && result.verdict)
    output.out << "source\tchain=" << result.score << "\t" << PrintableName(files.PathOf(result.file))
               << "\n";
}

}  // namespace

bool RobustRunIsRefused(const RunSettings& settings) {
  const ScoringOptions& scoring = settings.options.scoring;
  const char* other = scoring.formula != 0   ? "-o (a language model)"
                      : scoring.lm.detailed  ? "-e or -a"
                      : settings.Subtract    ? "-b"
                                             : nullptr;
  if (other == nullptr) return false;
  std::cerr << kRobustWith << other << "\n";
  NoteRunError();
  return true;
}

bool IsRobustModel(const std::string& protected_path) {
  const std::string directory = DirectoryOf(protected_path);
  ModelDescription description;
  if (ReadModelDescription(directory, description) && description.robust) return true;
  std::cerr << messages::kErrorPrefix << messages::kModelPrefix << directory
            << messages::kNotTrainedRobust << "\n";
  NoteRunError();
  return false;
}

bool RobustFilesOfModel(const std::string& protected_path, const CountIndex& protected_set,
                        RobustSources& sources) {
  const std::string directory = DirectoryOf(protected_path);
  std::string problem;
  sources.shingles = FilesOfModel(protected_path, protected_set, problem);
  if (problem.empty()) problem = ChainsOfDirectory(directory, sources);
  if (problem.empty()) return true;
  std::cerr << messages::kErrorPrefix << messages::kModelPrefix << directory
            << messages::kNotJudgedRobust << problem << "\n";
  NoteRunError();
  return false;
}

void RunRobust(const Model& model, const Options& options, const FileSettings& files,
               const JudgingSettings& judging, const RobustSettings& robust, size_t jobs,
               const RobustSources& sources) {
  const std::vector<std::string> names = FilesOf(files.DataFiles, files.DataList, files.ListedData);
  struct RobustDocument : DocumentOutput {
    bool verdict = false;
  };
  RunOrdered<RobustDocument>(
      names.size(), jobs, jobs * kDocumentsAheadPerThread,
      [&](size_t i, RobustDocument& output) {
        NamingOutOfMemory(names[i], [&] {
          ScoreRobustFile(names[i], model, options, judging, robust.Threshold, sources, output,
                          output.verdict);
        });
      },
      [](size_t, RobustDocument& output) {
        EmitToStandardStreams(output);
        if (output.verdict) NoteProtectedVerdict();
      });
}
