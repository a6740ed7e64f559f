#include "scoring/robust_judge.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace {

// The chain of one protected file: where its last link was and how long it is.
struct Chain {
  int64_t last = 0;
  int64_t length = 0;
};

// The longest chain of the digests at the positions `at` selects, all held
// by one file of files: (length, file), the file kNoFile for none.
template <typename Selected>
std::pair<int64_t, uint32_t> LongestChain(const std::vector<Digest>& digests,
                                          const SourceFinder& files, Selected selected) {
  std::pair<int64_t, uint32_t> best{0, kNoFile};
  // Few files take part in one document, so a short list beats a map.
  std::vector<std::pair<uint32_t, Chain>> chains;
  for (size_t at = 0; at < digests.size(); ++at) {
    if (!selected(at)) continue;
    const int64_t position = static_cast<int64_t>(at);
    files.ForEachFile(digests[at], [&](uint32_t file) {
      auto found = std::find_if(chains.begin(), chains.end(),
                                [file](const auto& entry) { return entry.first == file; });
      if (found == chains.end()) found = chains.insert(chains.end(), {file, Chain{}});
      Chain& chain = found->second;
      if (chain.length > 0 && chain.last == position) return;  // a file listed twice
      chain.length = chain.length > 0 && position - chain.last <= kRobustGap ? chain.length + 1 : 1;
      chain.last = position;
      if (chain.length > best.first) best = {chain.length, file};
    });
  }
  return best;
}

}  // namespace

RobustResult JudgeRobust(const std::vector<Digest>& shingles, const std::vector<Digest>& shorter,
                         const SidesIndex& sides, const RobustSources& sources, double threshold) {
  RobustResult result;
  std::vector<int32_t> held(shingles.size());
  sides.SidesMany(shingles.data(), shingles.size(), held.data());
  const auto only_protected = [&](size_t at) { return held[at] == SidesIndex::kProtected; };
  std::tie(result.score, result.file) = LongestChain(shingles, sources.shingles, only_protected);
  const auto [length, file] = LongestChain(shorter, sources.shorter, [](size_t) { return true; });
  if (length > result.score) {
    result.score = length;
    result.file = file;
    result.shorter = true;
  }
  std::vector<Digest> distinct;
  for (size_t at = 0; at < shingles.size(); ++at)
    if (only_protected(at)) distinct.push_back(shingles[at]);
  std::sort(distinct.begin(), distinct.end());
  result.protected_count =
      static_cast<int64_t>(std::unique(distinct.begin(), distinct.end()) - distinct.begin());
  result.verdict = static_cast<double>(result.score) >= threshold;
  return result;
}
