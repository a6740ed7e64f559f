#include "tool/messages.h"
#include "tool/sources.h"

#include <cstring>
#include <iostream>
#include <string_view>

#include "core/document.h"
#include "core/file_io.h"
#include "core/model_description.h"
#include "core/model_files.h"
#include "tool/exit_status.h"
#include "tool/file_list.h"

namespace {

// Why the sources file in directory cannot name the sources of the loaded
// set, or the empty string; a missing file sets missing.
std::string SourcesProblem(const std::string& directory, const CountIndex& set, int slot,
                           std::string& bytes, SourcesFile& file, bool& missing) {
  const Status read = ReadSourcesFile(directory + "/" + kSourcesFile, bytes);
  if (!read.ok()) {
    missing = read.code() == StatusCode::kNotFound;
    return read.message();
  }
  ModelDescription description;
  if (!ReadModelDescription(directory, description) || !description.has_sources ||
      description.sources_bytes != bytes.size() ||
      description.sources_checksum != FileChecksum(bytes))
    return "it does not match the model's description";
  const Status parsed = ParseSources(bytes, file);
  if (!parsed.ok()) return parsed.message();
  if (file.slot != slot || file.records != set.size() ||
      file.set_checksum != ChecksumOfRecords(set.begin(), set.size()))
    return std::string("it does not follow ") + kModelFileNames[slot];
  return "";
}

}  // namespace

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
  std::string bytes;
  SourcesFile file;
  bool missing = false;
  const std::string problem = SourcesProblem(directory, protected_set, slot, bytes, file, missing);
  RunSources sources;
  if (problem.empty()) {
    sources.finder = SourceFinder(protected_set.begin(), file);
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
  std::string bytes;
  SourcesFile file;
  bool missing = false;
  problem = SourcesProblem(DirectoryOf(protected_path), protected_set, kProtectedWords, bytes, file,
                           missing);
  if (missing) problem = std::string("it keeps no sources file (") + kSourcesFile + ")";
  return problem.empty() ? SourceFinder(protected_set.begin(), file) : SourceFinder();
}

std::vector<Source> ShingleSources(const ShingleStream& document, const SidesIndex& shingles,
                                   const RunSources& sources) {
  std::vector<Digest> only_protected;
  std::vector<int32_t> sides;
  document.ForEachBlock([&](const Digest* digests, size_t count) {
    sides.resize(count);
    shingles.SidesMany(digests, count, sides.data());
    for (size_t k = 0; k < count; ++k)
      if (sides[k] == SidesIndex::kProtected) only_protected.push_back(digests[k]);
  });
  return sources.finder.Find(only_protected, {}, sources.most);
}

std::vector<Source> PairSources(WordsAndPairs& doc, const lm::Result& result,
                                const RunSources& sources) {
  doc.HashAll();
  const std::vector<Digest>& pairs = doc.pairs();
  // The window's words k .. k + n - 1 are joined by the pairs k .. k + n - 2.
  const size_t first = std::min(result.phrase_first, pairs.size());
  const size_t last = result.phrase_words == 0
                          ? first
                          : std::min(result.phrase_first + result.phrase_words - 1, pairs.size());
  const std::vector<Digest> phrase(pairs.begin() + static_cast<std::ptrdiff_t>(first),
                                   pairs.begin() + static_cast<std::ptrdiff_t>(std::max(first, last)));
  return sources.finder.Find(pairs, phrase, sources.most);
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
