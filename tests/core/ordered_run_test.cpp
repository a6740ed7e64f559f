#include "core/ordered_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace {

// Every item is committed once, in order, one commit at a time, and never
// more than `window` items are prepared ahead of the next one to commit,
// whatever the number of threads.
TEST(RunOrdered, CommitsInOrderOneAtATimeWithinTheWindow) {
  for (size_t threads : {1, 2, 3, 8}) {
    for (size_t count : {0, 1, 7, 2000}) {
      const size_t window = threads + 1;
      std::atomic<size_t> committed{0}, committing{0}, most_ahead{0};
      std::vector<size_t> order;
      RunOrdered<size_t>(
          count, threads, window,
          [&](size_t i, size_t& slot) {
            const size_t ahead = i - committed.load();
            size_t seen = most_ahead.load();
            while (ahead > seen && !most_ahead.compare_exchange_weak(seen, ahead)) {
            }
            slot = i * 3;
          },
          [&](size_t i, size_t& slot) {
            EXPECT_EQ(committing.fetch_add(1), 0u) << "two commits at once";
            EXPECT_EQ(slot, i * 3);
            order.push_back(i);
            committing.fetch_sub(1);
            committed.store(i + 1);
          });
      ASSERT_EQ(order.size(), count) << threads << " threads";
      for (size_t i = 0; i < count; ++i) ASSERT_EQ(order[i], i);
      EXPECT_LT(most_ahead.load(), std::max(window, threads) + 1);
    }
  }
}

// A failure in prepare or in commit stops the run, reaches the caller, and
// nothing is committed after the failed item.
TEST(RunOrdered, AFailureStopsTheRunAndReachesTheCaller) {
  for (bool in_commit : {false, true}) {
    for (size_t threads : {1, 2, 4}) {
      std::vector<size_t> order;
      auto run = [&] {
        RunOrdered<int>(
            500, threads, 8,
            [&](size_t i, int&) {
              if (!in_commit && i == 100) throw std::runtime_error("prepare");
            },
            [&](size_t i, int&) {
              if (in_commit && i == 100) throw std::runtime_error("commit");
              order.push_back(i);
            });
      };
      EXPECT_THROW(run(), std::runtime_error);
      ASSERT_LE(order.size(), 100u);
      for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], i);
    }
  }
}

}  // namespace
