#include "core/chain_units_threads.h"

#include <algorithm>
#include <vector>

#include "core/chain_units.h"
#include "core/ordered_run.h"

namespace {

// Keeps, in order and in place at the range's start, the records of
// [begin, end) whose digest `other` does not hold; returns how many.
size_t KeepProtectedOnly(FlatSet& set, size_t begin, size_t end,
                         const std::vector<uint64_t>& other) {
  std::vector<uint64_t>& ids = set.ids;
  auto at = std::lower_bound(other.begin(), other.end(), ids[begin]);
  size_t kept = begin;
  for (size_t k = begin; k < end; ++k) {
    at = std::lower_bound(at, other.end(), ids[k]);
    if (at != other.end() && *at == ids[k]) continue;
    ids[kept] = ids[k];
    set.files[kept] = set.files[k];
    ++kept;
  }
  return kept - begin;
}

}  // namespace

FlatSet ProtectedOnlyOnThreads(FlatSet protected_set, const FlatSet& unprotected_set,
                               size_t threads) {
  const size_t n = protected_set.ids.size();
  const size_t pieces = std::min(4 * threads, n);
  if (threads <= 1 || pieces <= 1 || protected_set.files.size() != n)
    return ProtectedOnly(std::move(protected_set), unprotected_set);
  // Each piece is compacted in place on its thread; the pieces are then
  // moved down in order. A piece's records land before its own range ends,
  // so no later piece, perhaps still at work, is touched.
  size_t written = 0;
  RunOrdered<size_t>(
      pieces, threads, 2 * threads,
      [&](size_t k, size_t& kept) {
        kept = KeepProtectedOnly(protected_set, n * k / pieces, n * (k + 1) / pieces,
                                 unprotected_set.ids);
      },
      [&](size_t k, size_t& kept) {
        const size_t begin = n * k / pieces;
        std::copy(protected_set.ids.begin() + begin, protected_set.ids.begin() + begin + kept,
                  protected_set.ids.begin() + written);
        std::copy(protected_set.files.begin() + begin, protected_set.files.begin() + begin + kept,
                  protected_set.files.begin() + written);
        written += kept;
      });
  protected_set.ids.resize(written);
  protected_set.files.resize(written);
  return protected_set;
}
