// The tool's entry point: it parses the options and carries out the command
// they ask for: the usage text, the version, the report (-x), the sweeps
// (-z), or a run of the driver.
#include <malloc.h>

#include <cstdio>
#include <exception>
#include <iostream>

#include "compat/settings.h"
#include "core/messages.h"
#include "core/thread_start.h"
#include "experiments/protected_sum.h"
#include "experiments/sweep.h"
#include "tool/driver.h"
#include "tool/exit_status.h"
#include "tool/messages.h"
#include "tool/options.h"

namespace {

// A run judges thousands of documents, each of which allocates and frees
// buffers of up to a few megabytes. By default the C library hands such
// memory back to the system after each document (a thread's free heap above
// 128 KB, and every block above a threshold that starts there), and the next
// document faults it in again page by page: with -j 2 that cost a tenth of
// the run's processor time. Freed memory is kept for reuse instead, up to
// 64 MB at the top of each heap, and only blocks of 4 MB or more are given
// their own mapping (and back when freed).
void KeepFreedMemory() {
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

// Once per run: the threads that did start do all the work, and give the
// same output.
void WarnFewerThreads(const char* reason) {
  std::cerr << messages::kFewerThreads << reason << messages::kFewerThreadsEnd;
}

void RunSweeps(const CommandLine& line) {
  std::cerr << line.SweepText << "\n" << line.SweepTolerance << "\n";
  CalculateAll(1174, "C2", line.SweepTolerance);
  CalculateAll(242, "B2", line.SweepTolerance);
}

void PrintVersion() { std::cout << "tessel " << TESSEL_VERSION << "\n" << std::flush; }

void RunCommand(const CommandLine& line) {
  switch (line.command) {
    case Command::kHelp: Help(); break;
    case Command::kProtectedSum: CalculateProtectedSum(); break;
    case Command::kSweeps: RunSweeps(line); break;
    case Command::kRun: RunDriver(line.run); break;
    case Command::kVersion: PrintVersion(); break;
    case Command::kRefused: break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  KeepFreedMemory();
  ResetRunStatus();
  SetThreadShortfallHandler(WarnFewerThreads);
  bool exit_status = false;
  // A failure is reported rather than ending the process with an abort: a
  // save it stopped has left the old model as it was.
  try {
    const CommandLine line = ParseOptions(argc, argv);
    exit_status = line.ExitStatus;
    PublishSettings(line.run.options, line.DetailedAllOption);
    RunCommand(line);
  } catch (...) {  // rethrown here from any thread of the run
    ReportError(StatusOfFailure(std::current_exception()), std::cerr);
  }
  // Results lost to a full disk or a closed pipe must not pass unnoticed.
  std::cout.flush();
  if (!std::cout || std::ferror(stdout)) {
    std::cerr << messages::kErrorWritingOutput;
    NoteRunError();
  }
  // Without --exit-status the status stays 0 whatever happened.
  return exit_status ? RunExitStatus() : 0;
}
