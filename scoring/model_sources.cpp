#include "scoring/model_sources.h"

#include <algorithm>

#include "core/chain_units.h"
#include "core/model_description.h"
#include "core/model_files.h"
#include "core/records_checksum.h"

SourceFinder SourcesOfDirectory(const std::string& directory, const CountIndex& protected_set,
                                int slot, std::string& problem, bool& missing) {
  missing = false;
  std::string bytes;
  const Status read = ReadSourcesFile(directory + "/" + kSourcesFile, bytes);
  if (!read.ok()) {
    missing = read.code() == StatusCode::kNotFound;
    problem = read.message();
    return SourceFinder();
  }
  ModelDescription description;
  if (!ReadModelDescription(directory, description) || !description.has_sources ||
      description.sources_bytes != bytes.size() ||
      description.sources_checksum != FileChecksum(bytes)) {
    problem = "it does not match the model's description";
    return SourceFinder();
  }
  SourcesFile file;
  if (const Status parsed = ParseSources(bytes, file); !parsed.ok()) {
    problem = parsed.message();
    return SourceFinder();
  }
  if (file.slot != slot || file.records != protected_set.size() ||
      file.set_checksum != ChecksumOfRecords(protected_set.begin(), protected_set.size())) {
    problem = std::string("it does not follow ") + kModelFileNames[slot];
    return SourceFinder();
  }
  problem.clear();
  return SourceFinder(protected_set.begin(), file);
}

std::string ChainsOfDirectory(const std::string& directory, RobustSources& sources) {
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
  sources.shorter = SourceFinder(UnitDigests(units), std::move(units.files),
                                 sources.shingles.paths());
  return "";
}

std::vector<Source> ShingleSourcesOf(const ShingleStream& document, const SidesIndex& shingles,
                                     const SourceFinder& finder, size_t most) {
  std::vector<Digest> only_protected;
  std::vector<int32_t> sides;
  document.ForEachBlock([&](const Digest* digests, size_t count) {
    sides.resize(count);
    shingles.SidesMany(digests, count, sides.data());
    for (size_t k = 0; k < count; ++k)
      if (sides[k] == SidesIndex::kProtected) only_protected.push_back(digests[k]);
  });
  return finder.Find(only_protected, {}, most);
}

std::vector<Source> PairSourcesOf(WordsAndPairs& doc, const lm::Result& result,
                                  const SourceFinder& finder, size_t most) {
  doc.HashAll();
  const std::vector<Digest>& pairs = doc.pairs();
  // The window's words k .. k + n - 1 are joined by the pairs k .. k + n - 2.
  const size_t first = std::min(result.phrase_first, pairs.size());
  const size_t last = result.phrase_words == 0
                          ? first
                          : std::min(result.phrase_first + result.phrase_words - 1, pairs.size());
  const std::vector<Digest> phrase(pairs.begin() + static_cast<std::ptrdiff_t>(first),
                                   pairs.begin() + static_cast<std::ptrdiff_t>(std::max(first, last)));
  return finder.Find(pairs, phrase, most);
}
