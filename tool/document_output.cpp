#include "tool/document_output.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string>

#include "tool/exit_status.h"

void Emit(const std::ostringstream& buffer, std::ostream& to) {
  const std::string text = buffer.str();
  if (!text.empty()) to.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void EmitToStandardStreams(const DocumentOutput& output) {
  Emit(output.out, std::cout);
  Emit(output.err, std::cerr);
  if (output.failed) NoteRunError();
}

// The processors this process may run on (taskset, cgroup cpusets, a
// Slurm allocation), or else those online.
size_t JobsOf(const RunSettings& settings) {
  if (settings.Jobs > 0) return static_cast<size_t>(settings.Jobs);
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
    return static_cast<size_t>(CPU_COUNT(&allowed));
  return static_cast<size_t>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
}
