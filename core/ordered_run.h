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

#include "core/thread_start.h"

// What call() throws, null when it returns.
template <typename Call>
std::exception_ptr Caught(Call call) {
  try {
    call();
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

// Calls prepare(i, slot) for every i in [0, count) on up to `threads`
// threads (the calling thread one of them; fewer when the system refuses
// some) and commit(i, slot) for each in the order of i, one at a time. The
// thread that finishes the item next in line commits it, and every later one
// that is ready, so no thread is woken just to commit; the commits may
// therefore run on any of the threads. At most `window` items are prepared
// ahead of the next one to commit, so memory is bounded by the window rather
// than by count. An item may depend on what earlier items' commits wrote:
// prepare(i) starts only once the first after(i) items (at most i) are
// committed. An exception from prepare or commit is rethrown here after
// every thread has stopped.
template <typename Slot, typename Prepare, typename Commit, typename After>
void RunOrdered(size_t count, size_t threads, size_t window, Prepare prepare, Commit commit,
                After after) {
  if (threads <= 1 || count <= 1) {
    for (size_t i = 0; i < count; ++i) {
      Slot slot{};
      prepare(i, slot);
      commit(i, slot);
    }
    return;
  }
  window = std::max(window, threads);
  std::vector<Slot> slots(window);
  std::vector<char> ready(window, 0);
  std::mutex mutex;
  std::condition_variable room;  // an item was committed: the window moved on
  size_t next = 0, committed = 0, waiting = 0;
  std::exception_ptr failure;
  auto fail = [&](std::exception_ptr thrown) {
    if (!failure) failure = thrown;
    room.notify_all();
  };
  // Called with the lock held after an item became ready: commits the items
  // in line that are ready. The item in line is taken under the lock and the
  // line moves on only once its commit is done, so commits never overlap; a
  // thread that finds the item in line taken leaves it to the committing
  // thread, which looks for the next one when it is done.
  auto commit_ready = [&](std::unique_lock<std::mutex>& lock) {
    while (!failure && committed < count && ready[committed % window]) {
      const size_t i = committed;
      Slot slot = std::move(slots[i % window]);
      ready[i % window] = 0;
      lock.unlock();
      const std::exception_ptr thrown = Caught([&] { commit(i, slot); });
      lock.lock();
      committed = i + 1;  // its place in the window is free
      if (thrown) fail(thrown);
      if (waiting != 0) room.notify_all();
    }
  };
  auto work = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      ++waiting;
      room.wait(lock, [&] { return next >= count || failure || next < committed + window; });
      --waiting;
      if (next >= count || failure) return;
      const size_t i = next++;
      // Every item before i is taken, and those not waiting themselves get
      // committed, so this wait ends.
      const size_t needed = after(i);
      if (committed < needed) {
        ++waiting;
        room.wait(lock, [&] { return failure || committed >= needed; });
        --waiting;
        if (failure) return;
      }
      lock.unlock();
      Slot slot{};
      const std::exception_ptr thrown = Caught([&] { prepare(i, slot); });
      lock.lock();
      if (thrown) {
        fail(thrown);
        return;
      }
      slots[i % window] = std::move(slot);
      ready[i % window] = 1;
      commit_ready(lock);
    }
  };
  // Threads the system refuses leave their share to the others.
  std::vector<std::thread> helpers = StartThreads(std::min(threads, count) - 1, work);
  try {
    work();
  } catch (...) {  // the lock itself failed
    std::lock_guard<std::mutex> lock(mutex);
    fail(std::current_exception());
  }
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

// RunOrdered of items that depend on no commit.
template <typename Slot, typename Prepare, typename Commit>
void RunOrdered(size_t count, size_t threads, size_t window, Prepare prepare, Commit commit) {
  RunOrdered<Slot>(count, threads, window, prepare, commit, [](size_t) { return size_t{0}; });
}

// Calls work(i) for every i in [0, count) on up to `threads` threads, in no
// particular order, and returns once all are done.
template <typename Work>
void RunAll(size_t count, size_t threads, Work work) {
  struct Done {};
  RunOrdered<Done>(
      count, threads, count, [&](size_t i, Done&) { work(i); }, [](size_t, Done&) {});
}
