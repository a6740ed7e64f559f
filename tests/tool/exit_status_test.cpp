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

// A document's reading reports as the builds it stands for did: a refused
// shift as an error line (then the document is not judged), a failed read as
// the system's reason alone (judged on what was read); neither is an error
// of the run.
TEST(ExitStatus, DocumentReadingIsReportedOncePerBuild) {
  ResetRunStatus();
  std::ostringstream err;
  EXPECT_FALSE(ReportDocumentReading(Status(StatusCode::kInvalidArgument, "shift 0"), 2, err));
  EXPECT_TRUE(ReportDocumentReading(Status(StatusCode::kNotFound, "No such file"), 2, err));
  EXPECT_TRUE(ReportDocumentReading(Status(), 2, err));
  EXPECT_EQ(err.str(), "Error: shift 0\nError: shift 0\nNo such file\nNo such file\n");
  EXPECT_EQ(RunExitStatus(), 0);
}

}  // namespace
