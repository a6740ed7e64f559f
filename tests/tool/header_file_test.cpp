#include "tool/header_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "support/temp_dir.h"

// Missing headers, headers without a final line feed, directories in the
// header's place and missing directories are covered end to end.
namespace {

const std::string kKey = "QUIV_SHINGLES_VALUE    = ";

std::string Update(const std::string& path, double value) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  UpdateHdrFile(path, value);
  std::string out = testing::internal::GetCapturedStdout();
  return out + testing::internal::GetCapturedStderr();
}

TEST(HeaderFile, AppendsTheKeyLineOnceAndHonoursAnyMarker) {
  TempDir dir;
  WriteFile(dir / "a.hdr", "Title: a\n");
  WriteFile(dir / "b.hdr", "");
  EXPECT_EQ(Update(dir / "a.hdr", 0.333333333), "");
  Update(dir / "b.hdr", 1e-7);
  // Default double format: six significant digits, a two-digit exponent.
  EXPECT_EQ(ReadFile(dir / "a.hdr"), "Title: a\n" + kKey + "0.333333\n");
  EXPECT_EQ(ReadFile(dir / "b.hdr"), kKey + "1e-07\n");
  EXPECT_EQ(Update(dir / "a.hdr", 1.0), "Warning; file \"" + (dir / "a.hdr") + "\" was already upgraded.\n");
  EXPECT_EQ(ReadFile(dir / "a.hdr"), "Title: a\n" + kKey + "0.333333\n");

  // The marker inside longer text, on a very long line, across 64 KiB read blocks.
  std::string long_line = std::string(65536 - 7, 'x') + "# OLD_QUIV_SHINGLES_VALUE_2 = 5";
  WriteFile(dir / "long.hdr", long_line);
  EXPECT_NE(Update(dir / "long.hdr", 1.0), "");
  EXPECT_EQ(ReadFile(dir / "long.hdr"), long_line);
  WriteFile(dir / "near.hdr", "quiv_shingles_value = 1\n");  // case matters
  Update(dir / "near.hdr", 1.0);
  EXPECT_EQ(ReadFile(dir / "near.hdr"), "quiv_shingles_value = 1\n" + kKey + "1\n");
}

TEST(HeaderFile, FailedAppendIsReportedAndTakenBack) {
  TempDir dir;
  const std::string full(4085, 'x');  // the limit falls inside the key line
  WriteFile(dir / "full.hdr", full + "\n");
  pid_t pid = fork();
  if (pid == 0) {
    // A file size limit fails the write as a full disk would (and bounds the message file).
    int err = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    UpdateHdrFile(dir / "full.hdr", 1.0);
    _exit(0);
  }
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(ReadFile(dir / "err"), "Error writing file: " + (dir / "full.hdr") + "\n");
  EXPECT_EQ(ReadFile(dir / "full.hdr"), full + "\n");
}

// Appending blindly to a header that cannot be read could add a second key line.
TEST(HeaderFile, UnreadableHeaderIsNotAppendedTo) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
  TempDir dir;
  WriteFile(dir / "wo.hdr", kKey + "1\n");
  chmod((dir / "wo.hdr").c_str(), 0200);
  EXPECT_EQ(Update(dir / "wo.hdr", 0.0), "Error opening file: " + (dir / "wo.hdr") + "\n");
  chmod((dir / "wo.hdr").c_str(), 0600);
  EXPECT_EQ(ReadFile(dir / "wo.hdr"), kKey + "1\n");
}

}  // namespace
