#include "scoring/compare.h"

#include <algorithm>
#include <cstring>
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
  int shared_count = 0;
  std::list<CShingle> shared;
  auto ia = a.list.begin();
  auto ib = b.list.begin();
  while (ia != a.list.end() && ib != b.list.end()) {
    if (HashLess(ia->hash, ib->hash)) {
      ++ia;
    } else if (HashLess(ib->hash, ia->hash)) {
      ++ib;
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

DigestIndex IndexDigests(const CShingleSet& trained) {
  DigestIndex index;
  index.digests.resize(trained.list.size());
  size_t i = 0;
  for (const CShingle& shingle : trained.list) {
    std::memcpy(index.digests[i].data(), shingle.hash, kDigestSize);
    if (i > 0 && HashLess(index.digests[i].data(), index.digests[i - 1].data()))
      index.sorted = false;
    ++i;
  }
  return index;
}

int Intersection(CShingleSet& a, const DigestIndex& b) {
  using Digest = std::array<unsigned char, kDigestSize>;
  auto less_than_key = [](const Digest& entry, const unsigned char* key) {
    return HashLess(entry.data(), key);
  };
  int shared_count = 0;
  std::list<CShingle> shared;
  auto ia = a.list.begin();
  auto ib = b.digests.begin();
  while (ia != a.list.end() && ib != b.digests.end()) {
    if (HashLess(ia->hash, ib->data())) {
      ++ia;
    } else if (HashLess(ib->data(), ia->hash)) {
      // On an ordered index the walk would step over every entry below a's
      // digest and stop at the first one not below it: the lower bound.
      ib = b.sorted ? std::lower_bound(ib, b.digests.end(), ia->hash, less_than_key) : ib + 1;
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
