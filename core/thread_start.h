// Starting the helper threads of work spread over threads. A system may
// refuse a thread (a limit on processes or on address space, each thread's
// stack taking its share): the work then goes on with the threads that did
// start, the calling thread at least, and gives the same results.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

// Starts a thread running `work`, or throws as std::thread does when the
// system refuses one.
using ThreadStarter = std::thread (*)(std::function<void()> work);
// Told once per process, with the system's reason, when a thread is refused.
using ThreadShortfallHandler = void (*)(const char* reason);

// Replaces how threads are started (tests stand in a refusing one); null
// restores std::thread. Returns the one replaced. Not to be called while
// threads are being started.
ThreadStarter SetThreadStarter(ThreadStarter starter);
// Sets what hears of the first refused thread (the tool warns); null, the
// default, lets the shortfall pass silently.
void SetThreadShortfallHandler(ThreadShortfallHandler handler);

// The processors this process may run on (taskset, cgroup cpusets, a Slurm
// allocation), or else those online: the number of threads a caller that
// names none gets.
size_t UsableProcessors();

// Starts up to `wanted` threads running `work`, stopping at the first one
// refused, and returns those that started, for the caller to join.
std::vector<std::thread> StartThreads(size_t wanted, const std::function<void()>& work);
