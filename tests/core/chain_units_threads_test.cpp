// The protected-only units taken on several threads equal those taken on
// one, wherever the pieces are cut: runs of equal units across a cut, on
// the protected side and on the unprotected one.
#include "core/chain_units_threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/chain_units.h"

namespace {

TEST(ChainUnitsThreads, EveryCutGivesTheUnitsOfOneThread) {
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    // Few distinct units, so that equal ones meet at the cuts.
    auto ids = [&](size_t n) {
      std::vector<uint64_t> out(n);
      for (uint64_t& id : out) id = random() % 8;
      std::sort(out.begin(), out.end());
      return out;
    };
    FlatSet protected_set, unprotected_set;
    protected_set.ids = ids(random() % 14);
    for (size_t k = 0; k < protected_set.ids.size(); ++k) protected_set.files.push_back(k);
    unprotected_set.ids = ids(random() % 6);
    const FlatSet one = ProtectedOnly(protected_set, unprotected_set);
    // Up to 4 pieces a thread: with 4 threads each of up to 13 records is a piece.
    for (size_t threads = 2; threads <= 4; ++threads) {
      const FlatSet several = ProtectedOnlyOnThreads(protected_set, unprotected_set, threads);
      EXPECT_EQ(several.ids, one.ids);
      EXPECT_EQ(several.files, one.files);
    }
  }
}

}  // namespace
