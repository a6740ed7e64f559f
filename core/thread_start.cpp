#include "core/thread_start.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>

#include <atomic>
#include <exception>
#include <utility>

namespace {

std::thread StartStandardThread(std::function<void()> work) { return std::thread(std::move(work)); }

std::atomic<ThreadStarter> starter{StartStandardThread};
std::atomic<ThreadShortfallHandler> shortfall_handler{nullptr};
std::atomic<bool> shortfall_told{false};

void TellShortfall(const char* reason) {
  const ThreadShortfallHandler handler = shortfall_handler.load();
  if (handler != nullptr && !shortfall_told.exchange(true)) handler(reason);
}

}  // namespace

ThreadStarter SetThreadStarter(ThreadStarter replacement) {
  return starter.exchange(replacement != nullptr ? replacement : StartStandardThread);
}

void SetThreadShortfallHandler(ThreadShortfallHandler handler) {
  shortfall_handler = handler;
  shortfall_told = false;
}

size_t UsableProcessors() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
    return static_cast<size_t>(CPU_COUNT(&allowed));
  return static_cast<size_t>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
}

std::vector<std::thread> StartThreads(size_t wanted, const std::function<void()>& work) {
  std::vector<std::thread> started;
  const ThreadStarter start = starter.load();
  try {
    // Room first, so that a thread once started always has its place and is joined.
    started.reserve(wanted);
    while (started.size() < wanted) started.push_back(start(work));
  } catch (const std::exception& refused) {  // std::system_error, or std::bad_alloc
    TellShortfall(refused.what());
  }
  return started;
}
