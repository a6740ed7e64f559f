#include "tool/sources.h"

#include <cstring>
#include <iostream>
#include <string_view>

#include "core/document.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/model_description.h"
#include "core/model_files.h"
#include "scoring/model_sources.h"
#include "tool/exit_status.h"
#include "tool/file_list.h"
#include "tool/messages.h"

int SourcesSlot(bool language_model) { return language_model ? kProtectedPairs : kProtectedWords; }

RunSources SourcesOfTraining(const FlatSet& protected_set, const std::vector<std::string>& names,
                             size_t most) {
  RunSources sources;
  sources.finder = SourceFinder(protected_set.digests, protected_set.files, names);
  sources.most = most;
  return sources;
}

RunSources SourcesOfModel(const std::string& protected_path, const CountIndex& protected_set,
                          int slot, size_t most) {
  const std::string directory = DirectoryOf(protected_path);
  std::string problem;
  bool missing = false;
  RunSources sources;
  sources.finder = SourcesOfDirectory(directory, protected_set, slot, problem, missing);
  if (problem.empty()) {
    sources.most = most;
    return sources;
  }
  std::cerr << messages::kSourcesPrefix << directory;
  if (missing) {
    std::cerr << messages::kNoSourcesFile << messages::kSourcesEnd;
  } else {
    std::cerr << messages::kUnusableSources << problem << messages::kSourcesEnd;
    NoteRunError();  // a damaged or mixed file, unlike a model saved without one
  }
  return sources;
}

SourceFinder FilesOfModel(const std::string& protected_path, const CountIndex& protected_set,
                          std::string& problem) {
  bool missing = false;
  SourceFinder files = SourcesOfDirectory(DirectoryOf(protected_path), protected_set,
                                          kProtectedWords, problem, missing);
  if (missing) problem = std::string("it keeps no sources file (") + kSourcesFile + ")";
  return files;
}

std::vector<Source> ShingleSources(const ShingleStream& document, const SidesIndex& shingles,
                                   const RunSources& sources) {
  return ShingleSourcesOf(document, shingles, sources.finder, sources.most);
}

std::vector<Source> PairSources(WordsAndPairs& doc, const lm::Result& result,
                                const RunSources& sources) {
  return PairSourcesOf(doc, result, sources.finder, sources.most);
}

void WriteSources(const std::vector<Source>& sources, bool language_model, std::ostream& out) {
  for (const Source& source : sources) {
    out << "source\t";
    if (language_model)
      out << "pairs=" << source.shared << "\tphrase-pairs=" << source.phrase;
    else
      out << "shingles=" << source.shared;
    out << "\t" << PrintableName(source.path) << "\n";
  }
}
