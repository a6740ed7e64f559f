// Work on a sequence of items spread over threads, with the results taken in
// the sequence's order: what the tool writes stays byte for byte what one
// thread writes, whatever the number of threads.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

// Calls prepare(i, slot) for every i in [0, count) on up to `threads`
// threads and commit(i, slot) on the calling thread in the order of i. At
// most `window` items are prepared ahead of the next one to commit, so memory
// is bounded by the window rather than by count. An exception from prepare
// is rethrown here after the workers have stopped.
template <typename Slot, typename Prepare, typename Commit>
void RunOrdered(size_t count, size_t threads, size_t window, Prepare prepare, Commit commit) {
  if (threads <= 1 || count <= 1) {
    for (size_t i = 0; i < count; ++i) {
      Slot slot;
      prepare(i, slot);
      commit(i, slot);
    }
    return;
  }
  window = std::max(window, threads);
  std::vector<Slot> slots(window);
  std::vector<char> ready(window, 0);
  std::mutex mutex;
  std::condition_variable changed;
  size_t next = 0, committed = 0;
  std::exception_ptr failure;
  auto work = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return next >= count || failure || next < committed + window; });
      if (next >= count || failure) return;
      const size_t i = next++;
      lock.unlock();
      Slot slot;
      std::exception_ptr thrown;
      try {
        prepare(i, slot);
      } catch (...) {
        thrown = std::current_exception();
      }
      lock.lock();
      if (thrown && !failure) failure = thrown;
      slots[i % window] = std::move(slot);
      ready[i % window] = 1;
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (size_t t = 0; t < std::min(threads, count); ++t) workers.emplace_back(work);
  try {
    for (size_t i = 0; i < count; ++i) {
      Slot slot;
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return ready[i % window] || failure; });
        if (failure) break;
        slot = std::move(slots[i % window]);
        ready[i % window] = 0;
        committed = i + 1;  // its place in the window is free
      }
      changed.notify_all();
      commit(i, slot);
    }
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!failure) failure = std::current_exception();
  }
  changed.notify_all();
  for (std::thread& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);
}
