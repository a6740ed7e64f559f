#include "embed/embed.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "core/set_file.h"
#include "scoring/lm_test_util.h"
#include "support/temp_dir.h"

namespace {

// The handle holds the four sets in slot order p.bin, p.bin.2, u.bin, u.bin.2.
const CountIndex& Slot(tessel_model* model, int slot) { return model->slots[slot]; }

// The protected side knows "alpha beta gamma", the unprotected one "one two
// three": a protected-like text scores 100 / 1.01^k against 0 and is flagged.
void WriteModel(const std::string& dir, bool with_pairs = true) {
  for (int n = 1; n <= (with_pairs ? 2 : 1); ++n) {
    CShingleSet p = Built("alpha beta gamma\n", n), u = Built("one two three\n", n);
    saveShinglesToFile(dir + (n == 1 ? "/p.bin" : "/p.bin.2"), p);
    saveShinglesToFile(dir + (n == 1 ? "/u.bin" : "/u.bin.2"), u);
  }
}

TEST(Embed, JudgesBuffersAgainstASavedModel) {
  TempDir dir;
  WriteModel(dir.path());
  tessel_model* model = _openShingles(dir.path().c_str());
  ASSERT_NE(model, nullptr);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  // Repeated calls see an unchanged model; without a length the text ends at
  // its first NUL.
  for (int length : {18, 18, 0, -1})
    EXPECT_EQ(_processShingles(model, "alpha beta gamma.\n", length), 1) << length;
  EXPECT_EQ(_processShingles(model, "one two three\n", 14), 0);
  // A length is the text's size: a NUL inside separates words, and read on,
  // the text is no longer flagged; bytes beyond it are never read.
  EXPECT_EQ(_processShingles(model, "alpha beta gamma\n\0one two\n", 0), 1);
  EXPECT_EQ(_processShingles(model, "alpha beta gamma\n\0one two\n", 26), 0);
  EXPECT_EQ(_processShingles(model, "alpha beta gamma\0one two\n", 17), 1);
  EXPECT_EQ(_processShingles(model, "", 0), 0);
  EXPECT_EQ(_processShingles(model, nullptr, 5), 0);
  EXPECT_EQ(_processShingles(nullptr, "alpha beta\n", 11), 0);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: empty doc shingles\n");
  _closeShingles(model);
  _closeShingles(nullptr);
}

TEST(Embed, MissingShortAndUnnamedModelFiles) {
  TempDir dir;
  WriteModel(dir.path(), false);
  testing::internal::CaptureStderr();
  tessel_model* model = _openShingles((dir.path() + "/").c_str());
  // The trailing slash is kept: the paths have two slashes in a row.
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error opening file: " + dir.path() + "//p.bin.2\nError opening file: " + dir.path() +
                "//u.bin.2\n");
  ASSERT_NE(model, nullptr);
  // Without pair sets no pair is known: r = 0 and nothing is flagged.
  EXPECT_EQ(Said([&] { return _processShingles(model, "alpha beta gamma\n", 0) == 1; }), "F||");
  _closeShingles(model);

  // A directory that does not exist, and none at all, which is not reported.
  const std::string absent = dir / "absent";
  for (const char* name : {absent.c_str(), static_cast<const char*>(nullptr)}) {
    testing::internal::CaptureStderr();
    model = _openShingles(name);
    EXPECT_EQ(testing::internal::GetCapturedStderr().empty(), name == nullptr);
    ASSERT_NE(model, nullptr);
    for (int slot = 0; slot < 4; ++slot) EXPECT_EQ(Slot(model, slot).records(), 0u);
    _closeShingles(model);
  }

  // 40 bytes: two records of one digest, and 8 bytes that are dropped.
  WriteFile(dir / "p.bin", std::string(32, 'a') + std::string(8, 'b'));
  model = _openShingles(dir.path().c_str());
  EXPECT_EQ(Slot(model, 0).records(), 2u);
  EXPECT_EQ(Slot(model, 0).Count(reinterpret_cast<const unsigned char*>("aaaaaaaaaaaaaaaa")), 1);
  _closeShingles(model);
}

// Runs test() in a child whose current directory is dir, with a time limit:
// "exited|" when it returned, then its standard output "|" standard error.
std::string RunDriverIn(const TempDir& dir) {
  const std::string out_path = dir / "stdout", err_path = dir / "stderr";
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    if (!std::freopen(out_path.c_str(), "w", stdout) ||
        !std::freopen(err_path.c_str(), "w", stderr) || chdir(dir.path().c_str()))
      _exit(2);
    alarm(20);
    test();
    std::fflush(nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return (exited ? "exited|" : "failed|") + ReadFile(out_path) + "|" + ReadFile(err_path);
}

TEST(EmbedDriver, ScoresTheTestTextOrReportsItMissing) {
  TempDir dir;
  const std::string missing = "exited||Error opening file: data/test.txt\n";
  EXPECT_EQ(RunDriverIn(dir), missing);
  std::filesystem::create_directories(dir / "data/test.txt");  // a directory is no text
  EXPECT_EQ(RunDriverIn(dir), missing);
  std::filesystem::remove(dir / "data/test.txt");
  WriteModel(dir / "data");
  // Three words, two known pairs: 100 / 1.01^2 against 0, phrase of all.
  for (const char* text : {"alpha beta\ngamma", "alpha beta\ngamma\n"}) {
    WriteFile(dir / "data/test.txt", text);
    EXPECT_EQ(RunDriverIn(dir), "exited|values: \t98.0296\t0\nstring:\nalpha beta gamma\n1\n|")
        << text;
  }
  WriteFile(dir / "data/test.txt", "one two three");
  EXPECT_EQ(RunDriverIn(dir), "exited|0\n|");
}

}  // namespace
