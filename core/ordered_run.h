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
  // Two conditions, so that a finished item wakes the committer only when
  // it is the one the committer waits for, and a committed one wakes only
  // workers waiting for room in the window: on a machine with as many
  // threads as processors every needless wake-up takes a worker's time.
  std::condition_variable next_ready, room;
  size_t next = 0, committed = 0;
  bool committer_waits = false;
  size_t workers_waiting = 0;
  std::exception_ptr failure;
  auto work = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      ++workers_waiting;
      room.wait(lock, [&] { return next >= count || failure || next < committed + window; });
      --workers_waiting;
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
      if (committer_waits && (i == committed || failure)) next_ready.notify_one();
      if (failure) room.notify_all();
    }
  };
  std::vector<std::thread> workers;
  for (size_t t = 0; t < std::min(threads, count); ++t) workers.emplace_back(work);
  try {
    for (size_t i = 0; i < count; ++i) {
      Slot slot;
      {
        std::unique_lock<std::mutex> lock(mutex);
        committer_waits = true;
        next_ready.wait(lock, [&] { return ready[i % window] || failure; });
        committer_waits = false;
        if (failure) break;
        slot = std::move(slots[i % window]);
        ready[i % window] = 0;
        committed = i + 1;  // its place in the window is free
        if (workers_waiting != 0) room.notify_one();
      }
      commit(i, slot);
    }
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!failure) failure = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    room.notify_all();
  }
  for (std::thread& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);
}

// Calls work(i) for every i in [0, count) on up to `threads` threads, in no
// particular order, and returns once all are done.
template <typename Work>
void RunAll(size_t count, size_t threads, Work work) {
  struct Done {};
  RunOrdered<Done>(
      count, threads, count, [&](size_t i, Done&) { work(i); }, [](size_t, Done&) {});
}
