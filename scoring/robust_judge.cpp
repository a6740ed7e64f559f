#include "scoring/robust_judge.h"

#include <algorithm>

namespace {

// The chain of one protected file: where its last link was and how long it is.
struct Chain {
  int64_t last = 0;
  int64_t length = 0;
};

}  // namespace

RobustResult JudgeRobust(const std::vector<Digest>& shingles, const SidesIndex& sides,
                         const SourceFinder& files, double threshold) {
  RobustResult result;
  std::vector<int32_t> held(shingles.size());
  sides.SidesMany(shingles.data(), shingles.size(), held.data());
  // Chains by file, found in the order files first appear; few files take
  // part in one document, so a short list beats a map.
  std::vector<std::pair<uint32_t, Chain>> chains;
  std::vector<Digest> only_protected;
  for (size_t at = 0; at < shingles.size(); ++at) {
    if (held[at] != SidesIndex::kProtected) continue;
    only_protected.push_back(shingles[at]);
    const int64_t position = static_cast<int64_t>(at);
    files.ForEachFile(shingles[at], [&](uint32_t file) {
      auto found = std::find_if(chains.begin(), chains.end(),
                                [file](const auto& entry) { return entry.first == file; });
      if (found == chains.end()) found = chains.insert(chains.end(), {file, Chain{}});
      Chain& chain = found->second;
      // A file listed twice for one digest adds one link.
      if (chain.length > 0 && chain.last == position) return;
      chain.length = chain.length > 0 && position - chain.last <= kRobustGap ? chain.length + 1 : 1;
      chain.last = position;
      if (chain.length > result.score || (chain.length == result.score && file < result.file)) {
        result.score = chain.length;
        result.file = file;
      }
    });
  }
  std::sort(only_protected.begin(), only_protected.end());
  result.protected_count = static_cast<int64_t>(
      std::unique(only_protected.begin(), only_protected.end()) - only_protected.begin());
  result.verdict = static_cast<double>(result.score) >= threshold;
  return result;
}
