#include "compat/shingle.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "core/radix_sort.h"
#include "core/saturating.h"

int32_t CShingle::shingle_length = 5;
int32_t CShingle::shingle_shift = 1;

bool operator<(const CShingle& a, const CShingle& b) { return HashLess(a.hash, b.hash); }

// Two 64-bit comparisons of the digest halves, read as big-endian numbers,
// give the byte-wise order without a call to memcmp: digest comparisons are
// the inner loop of every sort, merge and look-up.
bool HashLess(const unsigned char* a, const unsigned char* b) { return DigestLess(a, b); }

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

// A digest as two integers whose order is the byte-wise order, and the
// record's position in the list before sorting.
struct DigestKey {
  uint64_t high;
  uint64_t low;
  size_t position;
};

}  // namespace

void SortByDigest(std::list<CShingle>& list) {
  const size_t size = list.size();
  if (size < 2) return;
  // A list that is already in order (saved, loaded or Unique'd before) costs
  // one walk instead of a sort.
  auto first_out_of_order = std::is_sorted_until(list.begin(), list.end());
  if (first_out_of_order == list.end()) return;
  // The records are moved out, ordered through their keys and moved back into
  // the nodes in the nodes' own order. Walking the nodes in list order is
  // cheap (they were allocated in that order); relinking them in digest order
  // would leave later walks visiting memory at random.
  std::vector<CShingle> records;
  std::vector<DigestKey> keys;
  records.reserve(size);
  keys.reserve(size);
  for (CShingle& shingle : list) {
    keys.push_back({DigestHalf(shingle.hash), DigestHalf(shingle.hash + 8), records.size()});
    records.push_back(std::move(shingle));
  }
  auto node = list.begin();
  for (const DigestKey& key : radix::SortedKeys(keys)) *node++ = std::move(records[key.position]);
}

void Unique(CShingleSet& shingles) {
  std::list<CShingle>& list = shingles.list;
  if (list.empty()) return;
  SortByDigest(list);  // stable: the earliest record of a digest comes first
  auto current = list.begin();
  for (auto next = std::next(current); next != list.end();) {
    if (HashEqual(current->hash, next->hash)) {
      current->count = SaturatingAdd(current->count, next->count);
      current->doc_count = SaturatingAdd(current->doc_count, next->doc_count);
      next = list.erase(next);
    } else {
      current = next++;
    }
  }
}
