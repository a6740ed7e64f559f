// Failures become the tool's messages and exit status in one place.
#include "tool/exit_status.h"

#include <sstream>
#include <stdexcept>

#include "core/out_of_memory.h"
#include "support/test_support.h"

namespace {

// What the tool writes for a failure, and the exit status it leaves.
std::string Reported(const Status& status, int& exit_status) {
  ResetRunStatus();
  std::ostringstream err;
  ReportError(status, err);
  exit_status = RunExitStatus();
  return err.str();
}

TEST(ExitStatus, FailuresBecomeTheirMessagesAndStatusTwo) {
  int exit_status = -1;
  auto escaped = [&](auto thrown) {
    return Reported(StatusOfFailure(std::make_exception_ptr(thrown)), exit_status);
  };
  EXPECT_EQ(escaped(OutOfMemoryReading("a\nb.txt")), "Error: out of memory reading a\\nb.txt\n");
  EXPECT_EQ(escaped(std::bad_alloc()), "Error: out of memory\n");
  EXPECT_EQ(escaped(std::runtime_error("odd")), "Error: the run failed: odd\n");
  EXPECT_EQ(escaped(42), "Error: the run failed: unknown\n");
  EXPECT_EQ(exit_status, 2);
  EXPECT_EQ(StatusOfFailure(std::make_exception_ptr(std::bad_alloc())).code(),
            StatusCode::kOutOfMemory);
  EXPECT_EQ(Reported(Status(StatusCode::kMixed, "the model in m is damaged"), exit_status),
            "Error: the model in m is damaged\n");
  EXPECT_EQ(Reported(Status(), exit_status), "");
  EXPECT_EQ(exit_status, 0);
}

}  // namespace
