#include "core/shingle.h"

#include <cstring>
#include <iterator>

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

void Unique(CShingleSet& shingles) {
  std::list<CShingle>& list = shingles.list;
  if (list.empty()) return;
  list.sort();  // std::list::sort is stable: the earliest record of a digest comes first
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
