#include "core/chain_units_threads.h"

#include <algorithm>
#include <vector>

#include "core/chain_units.h"
#include "core/ordered_run.h"

FlatSet ProtectedOnlyOnThreads(const FlatSet& protected_set, const FlatSet& unprotected_set,
                               size_t threads) {
  const std::vector<Digest>& digests = protected_set.digests;
  const std::vector<Digest>& other = unprotected_set.digests;
  const size_t n = digests.size();
  const size_t pieces = std::min(4 * threads, n);
  if (threads <= 1 || pieces <= 1 || protected_set.files.size() != n)
    return ProtectedOnly(protected_set, unprotected_set);
  FlatSet only;
  RunOrdered<FlatSet>(
      pieces, threads, 2 * threads,
      [&](size_t k, FlatSet& piece_only) {
        const size_t begin = n * k / pieces, end = n * (k + 1) / pieces;
        FlatSet piece, spanned;
        piece.digests.assign(digests.begin() + begin, digests.begin() + end);
        piece.files.assign(protected_set.files.begin() + begin, protected_set.files.begin() + end);
        // Equal digests may end one piece and begin the next: each piece
        // sees every unprotected record equal to its first and last digest.
        const auto low = std::lower_bound(other.begin(), other.end(), digests[begin]);
        spanned.digests.assign(low, std::upper_bound(low, other.end(), digests[end - 1]));
        piece_only = ProtectedOnly(piece, spanned);
      },
      [&](size_t, FlatSet& piece_only) {
        only.digests.insert(only.digests.end(), piece_only.digests.begin(),
                            piece_only.digests.end());
        only.files.insert(only.files.end(), piece_only.files.begin(), piece_only.files.end());
      });
  return only;
}
