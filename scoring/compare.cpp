#include "scoring/compare.h"

#include <iostream>
#include <iterator>

#include "core/set_file.h"
#include "core/settings.h"

namespace {

// Lists the shared shingles of detailed output, most frequent first.
void WriteShared(std::list<CShingle>& shared) {
  shared.sort(SortCShingleByCount);
  for (const CShingle& shingle : shared) {
    std::cout << '\t';
    OutputShingle(std::cout, shingle) << '\n';
  }
  std::cout.flush();
}

// The merge walk of Intersection over any digest-ordered trained sequence:
// digest_of reads a trained entry's digest, skip_smaller moves the trained
// cursor on from an entry whose digest is below the document's key.
template <typename Cursor, typename DigestOf, typename SkipSmaller>
int CountShared(CShingleSet& a, Cursor ib, Cursor end, DigestOf digest_of,
                SkipSmaller skip_smaller) {
  int shared_count = 0;
  std::list<CShingle> shared;
  auto ia = a.list.begin();
  while (ia != a.list.end() && ib != end) {
    const unsigned char* trained = digest_of(ib);
    if (HashLess(ia->hash, trained)) {
      ++ia;
    } else if (HashLess(trained, ia->hash)) {
      ib = skip_smaller(ib, ia->hash);
    } else {
      ++shared_count;
      if (Detailed) shared.push_back(*ia);
      ++ia;
      ++ib;
    }
  }
  if (Detailed) WriteShared(shared);
  return shared_count;
}

}  // namespace

void Common(CShingleSet& a, CShingleSet& b, CShingleSet& out) {
  auto ia = a.list.begin();
  auto ib = b.list.begin();
  while (ia != a.list.end() && ib != b.list.end()) {
    if (HashLess(ia->hash, ib->hash)) {
      ++ia;
    } else if (HashLess(ib->hash, ia->hash)) {
      ++ib;
    } else {
      // Relinking a's node keeps its text and counts without a copy.
      auto next_a = std::next(ia);
      out.list.splice(out.list.end(), a.list, ia);
      ia = next_a;
      ib = b.list.erase(ib);
    }
  }
}

int Intersection(CShingleSet& a, CShingleSet& b) {
  return CountShared(
      a, b.list.begin(), b.list.end(), [](auto node) { return node->hash; },
      [](auto node, const unsigned char*) { return std::next(node); });
}

int SharedWhere(CShingleSet& a, const std::function<bool(const unsigned char*)>& shared) {
  int shared_count = 0;
  std::list<CShingle> listed;
  for (const CShingle& shingle : a.list) {
    if (!shared(shingle.hash)) continue;
    ++shared_count;
    if (Detailed) listed.push_back(shingle);
  }
  if (Detailed) WriteShared(listed);
  return shared_count;
}

int Intersection(CShingleSet& a, const CountIndex& b) {
  return SharedWhere(a, [&b](const unsigned char* digest) { return b.Contains(digest); });
}
