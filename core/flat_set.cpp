#include "core/flat_set.h"

#include <algorithm>
#include <cstring>

#include "core/saturating.h"

namespace {

// A record as sorted: its digest as two integers in byte-wise order, and its
// count, carried along so that no gather by position is needed afterwards.
struct SortKey {
  uint64_t high;
  uint64_t low;
  int32_t count;
};

bool KeyLess(const SortKey& a, const SortKey& b) {
  return a.high < b.high || (a.high == b.high && a.low < b.low);
}

// Stable insertion sort of one radix bucket: uniform keys make buckets short.
void SortBucket(SortKey* first, SortKey* last) {
  if (last - first > 64) {
    std::stable_sort(first, last, KeyLess);
    return;
  }
  for (SortKey* i = first + 1; i < last; ++i) {
    SortKey key = *i;
    SortKey* j = i;
    for (; j > first && KeyLess(key, *(j - 1)); --j) *j = *(j - 1);
    *j = key;
  }
}

// Stable counting sort on the leading bits of the keys' range, about eight
// keys per bucket, then each bucket. Measuring the range from the smallest
// key keeps buckets short also when all keys share their leading byte.
std::vector<SortKey> SortedKeys(std::vector<SortKey>& keys) {
  uint64_t lowest = UINT64_MAX, highest = 0;
  for (const SortKey& key : keys) {
    lowest = std::min(lowest, key.high);
    highest = std::max(highest, key.high);
  }
  int bits = 1;
  while (bits < 22 && (size_t{1} << (bits + 3)) < keys.size()) ++bits;
  int shift = 0;
  while (shift < 64 && ((highest - lowest) >> shift) >= (uint64_t{1} << bits)) ++shift;
  const size_t buckets = size_t{1} << bits;
  auto bucket_of = [&](const SortKey& key) {
    return static_cast<size_t>((key.high - lowest) >> shift);
  };
  std::vector<size_t> starts(buckets + 1, 0);
  for (const SortKey& key : keys) ++starts[bucket_of(key) + 1];
  for (size_t b = 1; b <= buckets; ++b) starts[b] += starts[b - 1];
  std::vector<SortKey> sorted(keys.size());
  std::vector<size_t> next(starts.begin(), starts.end() - 1);
  for (const SortKey& key : keys) sorted[next[bucket_of(key)]++] = key;
  std::vector<SortKey>().swap(keys);
  for (size_t b = 0; b < buckets; ++b)
    SortBucket(sorted.data() + starts[b], sorted.data() + starts[b + 1]);
  return sorted;
}

}  // namespace

void SortByDigest(Digest* digests, int32_t* counts, size_t n) {
  if (std::is_sorted(digests, digests + n)) return;
  std::vector<SortKey> keys(n);
  for (size_t i = 0; i < n; ++i)
    keys[i] = {DigestHalf(digests[i].bytes), DigestHalf(digests[i].bytes + 8),
               counts != nullptr ? counts[i] : 0};
  const std::vector<SortKey> sorted = SortedKeys(keys);
  for (size_t i = 0; i < n; ++i) {
    const uint64_t high = __builtin_bswap64(sorted[i].high), low = __builtin_bswap64(sorted[i].low);
    std::memcpy(digests[i].bytes, &high, sizeof high);
    std::memcpy(digests[i].bytes + 8, &low, sizeof low);
    if (counts != nullptr) counts[i] = sorted[i].count;
  }
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
