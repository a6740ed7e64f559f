#include "core/ordered_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "core/thread_start.h"

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

// An item that depends on earlier commits is prepared only after them, and
// items waiting so never stall the run, on any number of threads.
TEST(RunOrdered, PreparesAnItemAfterTheCommitsItDependsOn) {
  for (size_t threads : {2, 3, 8}) {
    std::atomic<size_t> committed{0};
    auto after = [](size_t i) { return i % 3 == 0 ? i : i / 2; };
    RunOrdered<int>(
        600, threads, threads * 2,
        [&](size_t i, int&) { EXPECT_GE(committed.load(), after(i)) << i; },
        [&](size_t i, int&) { committed.store(i + 1); }, after);
    EXPECT_EQ(committed.load(), 600u);
  }
}

// A system that starts only so many threads, as under a limit on processes
// or on address space.
std::atomic<int> threads_allowed{0};
std::atomic<int> refusals_told{0};

std::thread StartAllowed(std::function<void()> work) {
  if (threads_allowed.fetch_sub(1) <= 0)
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  return std::thread(std::move(work));
}

// Threads refused leave their items to those that started, the calling one
// at least: every item is still committed once and in order, and the
// refusal is told once for the whole process.
TEST(RunOrdered, GoesOnWithTheThreadsTheSystemStarts) {
  SetThreadShortfallHandler([](const char*) { ++refusals_told; });
  const ThreadStarter standard = SetThreadStarter(StartAllowed);
  for (int allowed : {0, 2}) {
    threads_allowed = allowed;
    std::mutex mutex;
    std::set<std::thread::id> workers;
    std::vector<size_t> order;
    RunOrdered<size_t>(
        300, 8, 8,
        [&](size_t i, size_t& slot) {
          std::lock_guard<std::mutex> lock(mutex);
          workers.insert(std::this_thread::get_id());
          slot = i;
        },
        [&](size_t i, size_t& slot) {
          EXPECT_EQ(slot, i);
          order.push_back(i);
        });
    ASSERT_EQ(order.size(), 300u);
    for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], i);
    EXPECT_LE(workers.size(), static_cast<size_t>(allowed) + 1);
  }
  SetThreadStarter(standard);
  SetThreadShortfallHandler(nullptr);
  EXPECT_EQ(refusals_told.load(), 1);
}

}  // namespace
