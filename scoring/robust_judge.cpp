#include "scoring/robust_judge.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

#include "core/chain_units.h"

namespace {

// The chains of one protected file: where the last link was, how long the
// current chain is, and the units of its earlier long chains.
struct Chain {
  int64_t last = 0;
  int64_t length = 0;
  int64_t done = 0;  // the units of the file's earlier chains of kRobustSummedChain or more
  int64_t verbatim = 0;  // the current chain's last run of units one position apart
};

// A file's score: its chains of kRobustSummedChain units or more summed, or
// its current chain where that is more, or its verbatim run weighted.
int64_t ScoreOf(const Chain& chain) {
  const int64_t summed =
      chain.done + (chain.length >= kRobustSummedChain ? chain.length : 0);
  const auto verbatim = static_cast<int64_t>(kRobustVerbatimWeight * static_cast<double>(chain.verbatim));
  return std::max({chain.length, summed, verbatim});
}

// Whether each held unit (holders not empty) is the first of its digest in
// the document; a repeat keeps a chain going but does not lengthen it, or
// text that repeats a few units (a listing of interface annotations, a table
// of services) would make a long chain of one short phrase shared with a
// protected file.
std::vector<bool> FirstOccurrences(const std::vector<Digest>& units,
                                   const std::vector<SourceFinder::Holders>& holders) {
  size_t held = 0;
  for (size_t k = 0; k < units.size(); ++k) held += holders[k].first < holders[k].last;
  std::vector<bool> first(units.size(), false);
  // An open-addressing table of the places of the held units seen, keyed by
  // the digest's leading bytes (uniform, as the digests are).
  size_t size = 16;
  while (size < 2 * held) size *= 2;
  std::vector<size_t> table(size, SIZE_MAX);
  for (size_t k = 0; k < units.size(); ++k) {
    if (holders[k].first == holders[k].last) continue;
    uint64_t key;
    std::memcpy(&key, units[k].bytes, sizeof key);
    for (size_t slot = key & (size - 1);; slot = (slot + 1) & (size - 1)) {
      if (table[slot] == SIZE_MAX) {
        table[slot] = k;
        first[k] = true;
        break;
      }
      if (units[table[slot]] == units[k]) break;
    }
  }
  return first;
}

// One unit of a document held by one protected file: where it is, and
// whether it is the first of its digest in the document.
struct Link {
  int64_t position;
  uint32_t file;
  bool first;
};

// The links of the digests looked up (at the positions given, in text
// order), each one the protected side holds or the filter of `files` let
// through: the filter is not read again.
std::vector<Link> LinksOf(const std::vector<Digest>& looked_up,
                          const std::vector<int64_t>& positions, const SourceFinder& files) {
  std::vector<SourceFinder::Holders> holders(looked_up.size());
  files.HoldersMany(looked_up.data(), looked_up.size(), holders.data(), false);
  const std::vector<bool> first = FirstOccurrences(looked_up, holders);
  std::vector<Link> links;
  for (size_t k = 0; k < looked_up.size(); ++k)
    for (size_t record = holders[k].first; record < holders[k].last; ++record) {
      const uint32_t file = files.FileOf(record);
      if (file < files.files()) links.push_back(Link{positions[k], file, first[k]});
    }
  return links;
}

// The best score of one file over links in text order: (score, file), the
// file kNoFile for none (see ScoreOf).
std::pair<int64_t, uint32_t> LongestChain(const std::vector<Link>& links) {
  std::pair<int64_t, uint32_t> best{0, kNoFile};
  // Few files take part in one document, so a short list beats a map.
  std::vector<std::pair<uint32_t, Chain>> chains;
  for (const Link& link : links) {
    const uint32_t file = link.file;
    auto found = std::find_if(chains.begin(), chains.end(),
                              [file](const auto& entry) { return entry.first == file; });
    if (found == chains.end()) found = chains.insert(chains.end(), {file, Chain{}});
    Chain& chain = found->second;
    if (chain.length > 0 && chain.last == link.position) continue;  // a file listed twice
    if (chain.length == 0 || link.position - chain.last > kRobustGap) {
      if (chain.length >= kRobustSummedChain) chain.done += chain.length;
      chain.length = 0;
    }
    const bool next = chain.length > 0 && link.position - chain.last == 1;
    if (chain.length == 0) {
      chain.length = chain.verbatim = 1;
    } else if (link.first) {
      chain.length += std::min(link.position - chain.last, kRobustGapLink);
      chain.verbatim = next ? chain.verbatim + 1 : 1;
    } else if (!next) {
      chain.verbatim = 1;  // a repeat keeps a verbatim run going, a gap ends it
    }
    chain.last = link.position;
    const int64_t score = ScoreOf(chain);
    if (score > best.first) best = {score, file};
  }
  return best;
}

}  // namespace

RobustResult JudgeRobust(const std::vector<Digest>& shingles, const UnitHasher* shorter,
                         int32_t shift, const SidesIndex& sides, const RobustSources& sources,
                         double threshold) {
  RobustResult result;
  std::vector<int32_t> held(shingles.size());
  sides.SidesMany(shingles.data(), shingles.size(), held.data());
  std::vector<Digest> looked_up;
  std::vector<int64_t> positions;
  for (size_t at = 0; at < shingles.size(); ++at)
    if (held[at] == SidesIndex::kProtected) {
      looked_up.push_back(shingles[at]);
      positions.push_back(static_cast<int64_t>(at));
    }
  const std::vector<Link> links = LinksOf(looked_up, positions, sources.shingles);
  // Distinct shingles only the protected side holds.
  std::sort(looked_up.begin(), looked_up.end());
  result.protected_count =
      static_cast<int64_t>(std::unique(looked_up.begin(), looked_up.end()) - looked_up.begin());
  looked_up.clear();
  positions.clear();
  const size_t units = shorter == nullptr ? 0 : shorter->count();
  // With shingles a word apart, a shingle the unprotected side holds holds
  // the shorter units at its place and the next, which the unprotected
  // learning files then hold too: neither is protected-only, and neither is
  // looked up. Nor is a unit the filter of the shorter units turns away,
  // which is most of the rest: only the others are identified whole.
  std::vector<char> covered(units, 0);
  if (shift == 1)
    for (size_t at = 0; at < held.size() && at + 1 < units; ++at)
      if ((held[at] & SidesIndex::kUnprotected) != 0) covered[at] = covered[at + 1] = 1;
  // The filter is read kAhead units after its word is fetched: nearly every
  // read would otherwise wait for memory.
  constexpr size_t kAhead = 16;
  struct Pending {
    Digest unit;
    size_t at;
  };
  Pending pending[kAhead];
  size_t waiting = 0;
  const auto test = [&](const Pending& unit) {
    if (!sources.shorter.MayHold(unit.unit)) return;
    looked_up.push_back(unit.unit);
    positions.push_back(static_cast<int64_t>(unit.at));
  };
  for (size_t at = 0; at < units; ++at) {
    if (covered[at] != 0) continue;
    Pending& slot = pending[waiting % kAhead];
    if (waiting >= kAhead) test(slot);
    slot = Pending{shorter->At(at), at};
    sources.shorter.FetchFilter(slot.unit);
    ++waiting;
  }
  for (size_t k = waiting > kAhead ? waiting - kAhead : 0; k < waiting; ++k) test(pending[k % kAhead]);
  const std::vector<Link> shorter_links = LinksOf(looked_up, positions, sources.shorter);
  std::tie(result.score, result.file) = LongestChain(links);
  const auto [length, file] = LongestChain(shorter_links);
  if (length > result.score) {
    result.score = length;
    result.file = file;
    result.shorter = true;
  }
  result.verdict = static_cast<double>(result.score) >= threshold;
  return result;
}

RobustResult JudgeRobustWords(const TextWords& words, int32_t shingle_length,
                              const SidesIndex& sides, const RobustSources& sources,
                              double threshold) {
  std::vector<Digest> shingles;
  words.HashShingles(shingle_length, shingles);
  if (sources.shorter_words <= 0)
    return JudgeRobust(shingles, nullptr, words.shift(), sides, sources, threshold);
  const UnitHasher shorter(words, sources.shorter_words);
  return JudgeRobust(shingles, &shorter, words.shift(), sides, sources, threshold);
}
