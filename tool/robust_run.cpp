#include "tool/robust_run.h"

#include <iostream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "compat/settings.h"
#include "core/chain_units.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/model_description.h"
#include "core/ordered_run.h"
#include "core/out_of_memory.h"
#include "scoring/robust_judge.h"
#include "tool/document_input.h"
#include "tool/document_output.h"
#include "tool/exit_status.h"
#include "tool/file_list.h"
#include "tool/json_output.h"
#include "tool/sources.h"

namespace {

constexpr char kRobustWith[] = "Error: --robust cannot be combined with ";
constexpr char kNotRobustModel[] = " was not trained with --robust; train it with --robust -v\n";
constexpr char kRobustModel[] = "Error: the model in ";
constexpr char kUnusableRobustSources[] = " cannot be judged with --robust: ";
constexpr char kRobustMode[] = "robust";

using Json = nlohmann::ordered_json;

void SetPathOf(Json& line, const char* key, const std::string& path) {
  const std::string text = PathAsUtf8(path);
  line[key] = text;
  if (text != path) line[std::string(key) + "_bytes"] = Base64(path);
}

Json RobustLine(const std::string& path) {
  Json line;
  line["type"] = "document";
  SetPathOf(line, "path", path);
  line["mode"] = kRobustMode;
  return line;
}


// A document's shingles in text order are kept whole (a chain needs their
// positions), then judged. A document that is not read gets no line; in JSON
// one that could not be read gets an error, a binary one is skipped.
void ScoreRobustFile(const std::string& name, const Model& model, const Options& options,
                     const RunSettings& settings, const DocumentReading& reading,
                     const RobustSources& sources, DocumentOutput& output, bool& verdict) {
  TextWords words(options.text);
  const DocumentRead read = ReadDataFile(name, reading, 1, words, output.err);
  output.failed = read == DocumentRead::kFailed;
  if (settings.Json && read != DocumentRead::kRead && read != DocumentRead::kFailed) {
    Json line = RobustLine(name);
    line["skipped"] = messages::kBinaryReason;
    output.out << line.dump() << "\n";
    return;
  }
  if (settings.Json && output.failed) {
    const std::string messages = output.err.str();
    std::string last = messages.substr(0, messages.find_last_not_of('\n') + 1);
    last = last.substr(last.rfind('\n') + 1);
    Json line = RobustLine(name);
    line["error"] = PathAsUtf8(last);
    output.out << line.dump() << "\n";
    return;
  }
  if (read != DocumentRead::kRead) return;
  std::vector<Digest> shingles, shorter;
  words.HashShingles(options.text.shingle_length, shingles);
  if (sources.shorter_words > 0) UnitIdentities(words, sources.shorter_words, shorter);
  const RobustResult result =
      JudgeRobust(shingles, shorter, words.shift(), model.shingles, sources, settings.RobustThreshold);
  const SourceFinder& files = sources.shingles;
  verdict = result.verdict;
  if (settings.Json) {
    Json line = RobustLine(name);
    line["verdict"] = result.verdict;
    line["score"] = result.score;
    line["threshold"] = settings.RobustThreshold;
    line["protected"] = result.protected_count;
    if (result.file == kNoFile)
      line["source"] = nullptr;
    else
      SetPathOf(line, "source", files.PathOf(result.file));
    output.out << line.dump() << "\n";
    return;
  }
  output.out << PrintableName(name) << "\t" << result.protected_count << "\t" << result.score
             << (result.verdict ? ">=" : "<") << settings.RobustThreshold << "\n";
  if (settings.Sources > 0 && result.verdict)
    output.out << "source\tchain=" << result.score << "\t" << PrintableName(files.PathOf(result.file))
               << "\n";
}

// Why the chains file in directory cannot serve, or the empty string after
// reading it into sources; a model saved without one has no shorter units.
std::string ChainsProblem(const std::string& directory, RobustSources& sources) {
  ModelDescription description;
  if (!ReadModelDescription(directory, description) || !description.has_chains) return "";
  std::string bytes, error;
  if (const Status read = ReadSourcesFile(directory + "/" + kChainsFile, bytes); !read.ok())
    return std::string(kChainsFile) + ": " + read.message();
  if (description.chains_bytes != bytes.size() || description.chains_checksum != FileChecksum(bytes))
    return std::string(kChainsFile) + " does not match the model's description";
  FlatSet units;
  int32_t words = 0;
  if (!ParseChainUnits(bytes, words, units, error)) return std::string(kChainsFile) + ": " + error;
  sources.shorter_words = words;
  sources.shorter = SourceFinder(std::move(units.digests), std::move(units.files),
                                 sources.shingles.paths());
  return "";
}

}  // namespace

bool RobustRunIsRefused(const RunSettings& settings) {
  const char* other = settings.LmFormula != 0 ? "-o (a language model)"
                      : Detailed              ? "-e or -a"
                      : settings.Subtract     ? "-b"
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
  std::cerr << kRobustModel << directory << kNotRobustModel;
  NoteRunError();
  return false;
}

bool RobustFilesOfModel(const std::string& protected_path, const CountIndex& protected_set,
                        RobustSources& sources) {
  const std::string directory = DirectoryOf(protected_path);
  std::string problem;
  sources.shingles = FilesOfModel(protected_path, protected_set, problem);
  if (problem.empty()) problem = ChainsProblem(directory, sources);
  if (problem.empty()) return true;
  std::cerr << kRobustModel << directory << kUnusableRobustSources << problem << "\n";
  NoteRunError();
  return false;
}

void RunRobust(const Model& model, const RunSettings& settings, const Options& options,
               const RobustSources& sources) {
  const std::vector<std::string> names =
      FilesOf(settings.DataFiles, settings.DataList, settings.ListedData);
  const DocumentReading reading = ReadingOf(settings);
  const size_t jobs = JobsOf(settings);
  struct RobustDocument : DocumentOutput {
    bool verdict = false;
  };
  RunOrdered<RobustDocument>(
      names.size(), jobs, jobs * kDocumentsAheadPerThread,
      [&](size_t i, RobustDocument& output) {
        NamingOutOfMemory(names[i], [&] {
          ScoreRobustFile(names[i], model, options, settings, reading, sources, output,
                          output.verdict);
        });
      },
      [](size_t, RobustDocument& output) {
        EmitToStandardStreams(output);
        if (output.verdict) NoteProtectedVerdict();
      });
}
