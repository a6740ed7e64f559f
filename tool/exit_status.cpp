#include "tool/exit_status.h"

#include <atomic>

namespace {

std::atomic<bool> error_reported{false};
std::atomic<bool> protected_found{false};

}  // namespace

void ResetRunStatus() {
  error_reported = false;
  protected_found = false;
}

void NoteRunError() { error_reported = true; }

void NoteProtectedVerdict() { protected_found = true; }

int RunExitStatus() {
  if (error_reported) return 2;
  return protected_found ? 1 : 0;
}
