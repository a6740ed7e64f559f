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

namespace {

struct Output {
  std::string out;
  std::string err;
};

Output Update(const std::string& path, double value) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  UpdateHdrFile(path, value);
  Output result;
  result.out = testing::internal::GetCapturedStdout();
  result.err = testing::internal::GetCapturedStderr();
  return result;
}

const std::string kKey = "QUIV_SHINGLES_VALUE    = ";

TEST(HeaderFile, AppendsTheKeyLineOnALineOfItsOwn) {
  TempDir dir;
  WriteFile(dir / "ends.hdr", "Title: a\n");
  WriteFile(dir / "open.hdr", "Title: b");
  WriteFile(dir / "empty.hdr", "");
  EXPECT_EQ(Update(dir / "ends.hdr", 1.0).out, "");
  Update(dir / "open.hdr", 0.0);
  Update(dir / "empty.hdr", 0.333333333);
  Output created = Update(dir / "new.hdr", 1e-7);

  EXPECT_EQ(ReadFile(dir / "ends.hdr"), "Title: a\n" + kKey + "1\n");
  EXPECT_EQ(ReadFile(dir / "open.hdr"), "Title: b\n" + kKey + "0\n");
  // Default double format: six significant digits, exponent of two digits.
  EXPECT_EQ(ReadFile(dir / "empty.hdr"), kKey + "0.333333\n");
  // A missing file reads as one empty line without a line feed.
  EXPECT_EQ(ReadFile(dir / "new.hdr"), "\n" + kKey + "1e-07\n");
  EXPECT_EQ(created.out + created.err, "");
}

TEST(HeaderFile, FileHoldingTheMarkerIsLeftAlone) {
  TempDir dir;
  std::string path = dir / "doc.hdr";
  Update(path, 1.0);
  std::string once = ReadFile(path);
  Output second = Update(path, 0.0);
  EXPECT_EQ(second.out, "Warning; file \"" + path + "\" was already upgraded.\n");
  EXPECT_EQ(ReadFile(path), once);

  // The marker inside longer text, on a very long line, split across the
  // boundary of the 64 KiB read blocks.
  std::string long_line = std::string(65536 - 7, 'x') + "# OLD_QUIV_SHINGLES_VALUE_2 = 5";
  WriteFile(dir / "long.hdr", long_line);
  EXPECT_NE(Update(dir / "long.hdr", 1.0).out, "");
  EXPECT_EQ(ReadFile(dir / "long.hdr"), long_line);

  // A near miss is not the marker.
  WriteFile(dir / "near.hdr", "quiv_shingles_value = 1\n");
  EXPECT_EQ(Update(dir / "near.hdr", 1.0).out, "");
  EXPECT_EQ(ReadFile(dir / "near.hdr"), "quiv_shingles_value = 1\n" + kKey + "1\n");
}

TEST(HeaderFile, HeaderThatCannotBeReadOrWrittenIsReportedAndKept) {
  TempDir dir;
  std::string missing_dir = dir / "nowhere/doc.hdr";
  EXPECT_EQ(Update(missing_dir, 1.0).err, "Error opening file: " + missing_dir + "\n");
  EXPECT_FALSE(FileExists(dir / "nowhere"));

  // A directory in the header's place is not read as an empty header.
  mkdir((dir / "dir.hdr").c_str(), 0700);
  EXPECT_EQ(Update(dir / "dir.hdr", 1.0).err, "Error opening file: " + (dir / "dir.hdr") + "\n");

  // A file size limit makes the append fail, as a full disk would; the
  // failure is reported, not passed over.
  const std::string full(4095, 'x');
  WriteFile(dir / "full.hdr", full + "\n");
  pid_t pid = fork();
  if (pid == 0) {
    int err = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, 2);
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};  // also bounds the message file, which stays short
    setrlimit(RLIMIT_FSIZE, &limit);
    UpdateHdrFile(dir / "full.hdr", 1.0);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(ReadFile(dir / "err"), "Error writing file: " + (dir / "full.hdr") + "\n");
  EXPECT_EQ(ReadFile(dir / "full.hdr"), full + "\n");

  if (geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
  WriteFile(dir / "ro.hdr", "Title\n");
  chmod((dir / "ro.hdr").c_str(), 0444);
  EXPECT_EQ(Update(dir / "ro.hdr", 1.0).err, "Error opening file: " + (dir / "ro.hdr") + "\n");
  EXPECT_EQ(ReadFile(dir / "ro.hdr"), "Title\n");

  // Unreadable but writable: appending blindly could add a second key line.
  WriteFile(dir / "wo.hdr", kKey + "1\n");
  chmod((dir / "wo.hdr").c_str(), 0200);
  EXPECT_EQ(Update(dir / "wo.hdr", 0.0).err, "Error opening file: " + (dir / "wo.hdr") + "\n");
  chmod((dir / "wo.hdr").c_str(), 0600);
  EXPECT_EQ(ReadFile(dir / "wo.hdr"), kKey + "1\n");
}

}  // namespace
