#include "core/shingle.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

int32_t CShingle::shingle_length = 5;
int32_t CShingle::shingle_shift = 1;

bool operator<(const CShingle& a, const CShingle& b) { return HashLess(a.hash, b.hash); }

bool HashLess(const unsigned char* a, const unsigned char* b) {
  return std::memcmp(a, b, kDigestSize) < 0;
}

bool HashEqual(const unsigned char* a, const unsigned char* b) {
  return std::memcmp(a, b, kDigestSize) == 0;
}

bool SortCShingleByCount(const CShingle& a, const CShingle& b) {
  if (a.count != b.count) return a.count > b.count;
  return a.text < b.text;
}

void CShingleSet::ConvertToSet() {
  // A hint at the end makes insertion from a digest-ordered list constant time;
  // on other orders it only costs the usual logarithmic search.
  for (const CShingle& shingle : list) set.emplace_hint(set.end(), shingle);
}

namespace {

// Lists this short fit in the cache; the list's own merge sort is fine there.
constexpr size_t kKeySortThreshold = 4096;

// A digest as two big-endian halves (so integer order is byte order) and the
// record's position, which makes every key distinct and the sort stable.
struct SortKey {
  uint64_t high;
  uint64_t low;
  size_t position;
};

uint64_t BigEndian64(const unsigned char* bytes) {
  uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 8) | bytes[i];
  return value;
}

bool KeyLess(const SortKey& a, const SortKey& b) {
  if (a.high != b.high) return a.high < b.high;
  if (a.low != b.low) return a.low < b.low;
  return a.position < b.position;
}

}  // namespace

void SortByDigest(std::list<CShingle>& list) {
  if (list.size() < kKeySortThreshold) {
    list.sort();
    return;
  }
  std::vector<SortKey> keys;
  std::vector<std::list<CShingle>::iterator> nodes;
  keys.reserve(list.size());
  nodes.reserve(list.size());
  bool ordered = true;
  for (auto it = list.begin(); it != list.end(); ++it) {
    SortKey key{BigEndian64(it->hash), BigEndian64(it->hash + 8), nodes.size()};
    if (!keys.empty() && KeyLess(key, keys.back())) ordered = false;
    keys.push_back(key);
    nodes.push_back(it);
  }
  if (ordered) return;
  std::sort(keys.begin(), keys.end(), KeyLess);
  // The records move (texts are not copied) into nodes allocated in key
  // order, so that every later walk over the sorted list reads memory in
  // sequence instead of jumping between scattered nodes.
  std::list<CShingle> sorted;
  for (const SortKey& key : keys) sorted.push_back(std::move(*nodes[key.position]));
  nodes.clear();
  list.swap(sorted);
}

void Unique(CShingleSet& shingles) {
  std::list<CShingle>& list = shingles.list;
  if (list.empty()) return;
  SortByDigest(list);  // stable: the earliest record of a digest comes first
  auto current = list.begin();
  for (auto next = std::next(current); next != list.end();) {
    if (HashEqual(current->hash, next->hash)) {
      current->count += next->count;
      current->doc_count += next->doc_count;
      next = list.erase(next);
    } else {
      current = next++;
    }
  }
}
