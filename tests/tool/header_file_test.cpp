#include "tool/header_file.h"

#include <sys/resource.h>

#include <csignal>

#include "support/test_support.h"

namespace {

// A file size limit inside the key line fails the append as a full disk
// would; what was written is taken back.
TEST(HeaderFile, FailedAppendIsReportedAndTakenBack) {
  TempDir dir;
  const std::string full(4085, 'x');
  WriteFile(dir / "full.hdr", full + "\n");
  EXPECT_TRUE(InChild([&] {
    if (!std::freopen((dir / "err").c_str(), "w", stderr)) _exit(2);
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    UpdateHdrFile(dir / "full.hdr", 1.0);
  }));
  EXPECT_EQ(ReadFile(dir / "err"), "Error writing file: " + (dir / "full.hdr") + "\n");
  EXPECT_EQ(ReadFile(dir / "full.hdr"), full + "\n");
}

}  // namespace
