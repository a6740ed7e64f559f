#include "compat/compare.h"

#include <iostream>
#include <iterator>

#include "compat/settings.h"
#include "compat/shingle_file.h"

namespace {

// Lists the shared shingles of detailed output, most frequent first.
void WriteShared(std::list<CShingle>& shared, std::ostream& out) {
  shared.sort(SortCShingleByCount);
  for (const CShingle& shingle : shared) {
    out << '\t';
    OutputShingle(out, shingle) << '\n';
  }
  out.flush();
}

// The single forward merge walk of Common and Intersection over two
// digest-ordered lists: on equal digests, shared(ia, ib) acts on the pair
// and moves both cursors on.
template <typename OnShared>
void WalkShared(CShingleSet& a, CShingleSet& b, OnShared shared) {
  auto ia = a.list.begin();
  auto ib = b.list.begin();
  while (ia != a.list.end() && ib != b.list.end()) {
    if (HashLess(ia->hash, ib->hash))
      ++ia;
    else if (HashLess(ib->hash, ia->hash))
      ++ib;
    else
      shared(ia, ib);
  }
}

}  // namespace

void Common(CShingleSet& a, CShingleSet& b, CShingleSet& out) {
  WalkShared(a, b, [&](auto& ia, auto& ib) {
    // Relinking a's node keeps its text and counts without a copy.
    auto next_a = std::next(ia);
    out.list.splice(out.list.end(), a.list, ia);
    ia = next_a;
    ib = b.list.erase(ib);
  });
}

int Intersection(CShingleSet& a, CShingleSet& b) {
  int shared_count = 0;
  std::list<CShingle> shared;
  WalkShared(a, b, [&](auto& ia, auto& ib) {
    ++shared_count;
    if (Detailed) shared.push_back(*ia);
    ++ia;
    ++ib;
  });
  if (Detailed) WriteShared(shared, std::cout);
  return shared_count;
}

int SharedWhere(CShingleSet& a, const std::function<bool(const unsigned char*)>& shared,
                std::ostream* listing) {
  int shared_count = 0;
  std::list<CShingle> listed;
  for (const CShingle& shingle : a.list) {
    if (!shared(shingle.hash)) continue;
    ++shared_count;
    if (listing != nullptr) listed.push_back(shingle);
  }
  if (listing != nullptr) WriteShared(listed, *listing);
  return shared_count;
}
