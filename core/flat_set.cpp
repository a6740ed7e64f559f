#include "core/flat_set.h"

#include <algorithm>
#include <cstring>

#include "core/radix_sort.h"
#include "core/saturating.h"

namespace {

// A record as sorted: its digest as two integers in byte-wise order, and its
// count, carried along so that no gather by position is needed afterwards.
struct SortKey {
  uint64_t high;
  uint64_t low;
  int32_t count;
  uint32_t file;  // fills what would be padding
};
static_assert(sizeof(SortKey) == 24, "the file index must cost no memory in the sort");

}  // namespace

namespace {

std::vector<SortKey> SortedKeysOf(const Digest* digests, const int32_t* counts, size_t n,
                                  const uint32_t* files = nullptr) {
  std::vector<SortKey> keys(n);
  for (size_t i = 0; i < n; ++i)
    keys[i] = {DigestHalf(digests[i].bytes), DigestHalf(digests[i].bytes + 8),
               counts != nullptr ? counts[i] : 0, files != nullptr ? files[i] : 0u};
  return radix::SortedKeys(keys);
}

Digest DigestOf(const SortKey& key) {
  Digest digest;
  const uint64_t high = __builtin_bswap64(key.high), low = __builtin_bswap64(key.low);
  std::memcpy(digest.bytes, &high, sizeof high);
  std::memcpy(digest.bytes + 8, &low, sizeof low);
  return digest;
}

}  // namespace

void SortByDigest(Digest* digests, int32_t* counts, size_t n) {
  if (std::is_sorted(digests, digests + n)) return;
  const std::vector<SortKey> sorted = SortedKeysOf(digests, counts, n);
  for (size_t i = 0; i < n; ++i) {
    digests[i] = DigestOf(sorted[i]);
    if (counts != nullptr) counts[i] = sorted[i].count;
  }
}

void SortByDigestInto(const Digest* digests, const int32_t* counts, size_t n, Digest* digests_out,
                      int32_t* counts_out) {
  SortByDigestInto(digests, counts, nullptr, n, digests_out, counts_out, nullptr);
}

void SortByDigestInto(const Digest* digests, const int32_t* counts, const uint32_t* files,
                      size_t n, Digest* digests_out, int32_t* counts_out, uint32_t* files_out) {
  if (n == 0) return;
  const std::vector<SortKey> sorted = SortedKeysOf(digests, counts, n, files);
  for (size_t i = 0; i < n; ++i) digests_out[i] = DigestOf(sorted[i]);
  if (counts != nullptr && counts_out != nullptr)
    for (size_t i = 0; i < n; ++i) counts_out[i] = sorted[i].count;
  if (files != nullptr && files_out != nullptr)
    for (size_t i = 0; i < n; ++i) files_out[i] = sorted[i].file;
}

void SortByDigest(FlatSet& set) {
  SortByDigest(set.digests.data(), set.counts.empty() ? nullptr : set.counts.data(),
               set.digests.size());
}

void Unique(FlatSet& set) {
  SortByDigest(set);
  std::vector<Digest>& digests = set.digests;
  const bool counted = !set.counts.empty();
  size_t kept = 0;
  for (size_t i = 0; i < digests.size(); ++i) {
    if (kept > 0 && digests[i] == digests[kept - 1]) {
      if (counted) set.counts[kept - 1] = SaturatingAdd(set.counts[kept - 1], set.counts[i]);
      continue;
    }
    digests[kept] = digests[i];
    if (counted) set.counts[kept] = set.counts[i];
    ++kept;
  }
  digests.resize(kept);
  if (counted) set.counts.resize(kept);
}

namespace {

// Keeps the records at the front of a set while others are moved out.
struct Compactor {
  FlatSet& set;
  size_t kept = 0;

  void Keep(size_t i) {
    set.digests[kept] = set.digests[i];
    if (!set.counts.empty()) set.counts[kept] = set.counts[i];
    ++kept;
  }
  // Keeps every record from i on and drops the space of the moved ones.
  void Finish(size_t i) {
    for (; i < set.digests.size(); ++i) Keep(i);
    set.digests.resize(kept);
    if (!set.counts.empty()) set.counts.resize(kept);
  }
};

}  // namespace

void Common(FlatSet& a, FlatSet& b, FlatSet& out) {
  Compactor kept_a{a}, kept_b{b};
  size_t ia = 0, ib = 0;
  while (ia < a.digests.size() && ib < b.digests.size()) {
    if (a.digests[ia] < b.digests[ib]) {
      kept_a.Keep(ia++);
    } else if (b.digests[ib] < a.digests[ia]) {
      kept_b.Keep(ib++);
    } else {
      out.digests.push_back(a.digests[ia]);
      if (!a.counts.empty()) out.counts.push_back(a.counts[ia]);
      ++ia;
      ++ib;
    }
  }
  kept_a.Finish(ia);
  kept_b.Finish(ib);
}
