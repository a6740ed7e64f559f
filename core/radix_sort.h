// A stable sort of digest keys: a counting sort on the leading bits of the
// keys' range, then each short bucket. MD5 digests are uniform, so buckets of
// about eight keys stay short; measuring the range from the smallest key keeps
// them short also when all keys share their leading byte.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace radix {

// Key: any record with the digest's halves as `high` and `low` (big-endian,
// so their order is the byte-wise order) and whatever it carries along.
template <typename Key>
bool KeyLess(const Key& a, const Key& b) {
  return a.high < b.high || (a.high == b.high && a.low < b.low);
}

// Stable insertion sort of one bucket; a long one (not expected of digests)
// falls back to the library's stable sort.
template <typename Key>
void SortBucket(Key* first, Key* last) {
  if (last - first < 2) return;  // first + 1 would lie past the end of an empty bucket
  if (last - first > 64) {
    std::stable_sort(first, last, KeyLess<Key>);
    return;
  }
  for (Key* i = first + 1; i < last; ++i) {
    Key key = *i;
    Key* j = i;
    for (; j > first && KeyLess(key, *(j - 1)); --j) *j = *(j - 1);
    *j = key;
  }
}

// The keys in ascending order, equal keys in their order of input. The input
// is released before the buckets are sorted, to keep peak memory low.
template <typename Key>
std::vector<Key> SortedKeys(std::vector<Key>& keys) {
  uint64_t lowest = UINT64_MAX, highest = 0;
  for (const Key& key : keys) {
    lowest = std::min(lowest, key.high);
    highest = std::max(highest, key.high);
  }
  int bits = 1;
  while (bits < 22 && (size_t{1} << (bits + 3)) < keys.size()) ++bits;
  int shift = 0;
  while (shift < 64 && ((highest - lowest) >> shift) >= (uint64_t{1} << bits)) ++shift;
  const size_t buckets = size_t{1} << bits;
  auto bucket_of = [&](const Key& key) { return static_cast<size_t>((key.high - lowest) >> shift); };
  std::vector<size_t> starts(buckets + 1, 0);
  for (const Key& key : keys) ++starts[bucket_of(key) + 1];
  for (size_t b = 1; b <= buckets; ++b) starts[b] += starts[b - 1];
  std::vector<Key> sorted(keys.size());
  std::vector<size_t> next(starts.begin(), starts.end() - 1);
  for (const Key& key : keys) sorted[next[bucket_of(key)]++] = key;
  std::vector<Key>().swap(keys);
  for (size_t b = 0; b < buckets; ++b)
    SortBucket(sorted.data() + starts[b], sorted.data() + starts[b + 1]);
  return sorted;
}

}  // namespace radix
