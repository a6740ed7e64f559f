#include "tool/exit_status.h"

#include <atomic>
#include <new>
#include <ostream>
#include <string>

#include "core/messages.h"
#include "core/out_of_memory.h"
#include "tool/file_list.h"

namespace {

std::atomic<bool> error_reported{false};
std::atomic<bool> protected_found{false};

// Then the file whose reading ran out of memory.
constexpr char kOutOfMemoryReading[] = "out of memory reading ";
// Then what the failure says of itself.
constexpr char kRunFailed[] = "the run failed: ";

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

void ReportError(const Status& status, std::ostream& err) {
  if (status.ok()) return;
  // Out of memory is reported without building a string.
  if (status.message().empty() && status.code() == StatusCode::kOutOfMemory)
    err << messages::kOutOfMemory;
  else if (status.message().empty())
    err << messages::kErrorPrefix << kRunFailed << "unknown\n";
  else
    err << messages::kErrorPrefix << status.message() << "\n";
  NoteRunError();
}

bool ReportDocumentReading(const Status& status, int builds, std::ostream& err) {
  if (status.ok()) return true;
  const bool refused = status.code() == StatusCode::kInvalidArgument;
  for (int i = 0; i < builds; ++i)
    err << (refused ? messages::kErrorPrefix : "") << status.message() << '\n';
  return !refused;
}

// Unwinding has released what the run held, so the message itself finds
// memory; where it does not, out of memory is reported without the name.
Status StatusOfFailure(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const OutOfMemoryReading& out) {
    try {
      const std::string name = PrintableName(out.name());
      if (!name.empty()) return Status(StatusCode::kOutOfMemory, kOutOfMemoryReading + name);
    } catch (const std::bad_alloc&) {
    }
  } catch (const std::bad_alloc&) {
  } catch (const std::exception& other) {
    try {
      return Status(StatusCode::kInternal, kRunFailed + std::string(other.what()));
    } catch (const std::bad_alloc&) {
    }
  } catch (...) {
    try {
      return Status(StatusCode::kInternal, std::string(kRunFailed) + "unknown");
    } catch (const std::bad_alloc&) {
    }
  }
  return Status(StatusCode::kOutOfMemory, std::string());
}
