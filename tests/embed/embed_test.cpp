#include "embed/embed.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "core/builder.h"
#include "core/set_file.h"
#include "scoring/lm_test_util.h"
#include "support/temp_dir.h"

namespace {

// The handle is the array of the four sets in slot order p.bin, p.bin.2,
// u.bin, u.bin.2.
CShingleSet& Slot(tessel_model* model, int slot) {
  return *reinterpret_cast<CShingleSet**>(model)[slot];
}

void SaveBuilt(const std::string& text, int n, const std::string& path) {
  CShingleSet set;
  std::istringstream in(text);
  _BuildShingles(in, set, n);
  saveShinglesToFile(path, set);
}

// A model whose protected side knows "alpha beta gamma" and whose
// unprotected side knows "one two three". A protected-like text scores
// 100 / 1.01^k against 0 and is flagged; an unprotected-like one scores 0.
void WriteModel(const std::string& dir, bool with_pairs = true) {
  SaveBuilt("alpha beta gamma\n", 1, dir + "/p.bin");
  SaveBuilt("one two three\n", 1, dir + "/u.bin");
  if (!with_pairs) return;
  SaveBuilt("alpha beta gamma\n", 2, dir + "/p.bin.2");
  SaveBuilt("one two three\n", 2, dir + "/u.bin.2");
}

TEST(Embed, JudgesBuffersAgainstASavedModel) {
  TempDir dir;
  WriteModel(dir.path());
  tessel_model* model = _openShingles(dir.path().c_str());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(Slot(model, 0).set.size(), 3u);
  EXPECT_EQ(Slot(model, 1).set.size(), 2u);
  EXPECT_EQ(Slot(model, 3).total, 0);
  Captured quiet;
  const char* protected_text = "alpha beta gamma.\n";
  EXPECT_EQ(_processShingles(model, protected_text, 18), 1);
  EXPECT_EQ(_processShingles(model, protected_text, 18), 1);  // the model is unchanged
  EXPECT_EQ(_processShingles(model, protected_text, 0), 1);   // the length is not used
  EXPECT_EQ(_processShingles(model, protected_text, 1 << 30), 1);
  EXPECT_EQ(_processShingles(model, "one two three\n", 14), 0);
  // The text ends at its first NUL; read on, the window would start with an
  // unknown word and score 0.
  EXPECT_EQ(_processShingles(model, "alpha beta gamma\n\0one two\n", 26), 1);
  EXPECT_EQ(_processShingles(model, "", 0), 0);
  EXPECT_EQ(quiet.err(), "Error: empty doc shingles\n");
  _closeShingles(model);
}

TEST(Embed, MissingFilesLeaveEmptySlots) {
  TempDir dir;
  WriteModel(dir.path(), false);
  Captured quiet;
  tessel_model* model = _openShingles((dir.path() + "/").c_str());
  ASSERT_NE(model, nullptr);
  // The trailing slash is kept: the paths have two slashes in a row.
  EXPECT_EQ(quiet.err(), "Error opening file: " + dir.path() + "//p.bin.2\n" +
                             "Error opening file: " + dir.path() + "//u.bin.2\n");
  EXPECT_EQ(Slot(model, 0).list.size(), 3u);
  EXPECT_TRUE(Slot(model, 1).list.empty());
  // Without pair sets no pair is known: r = 0 and nothing is flagged.
  EXPECT_EQ(_processShingles(model, "alpha beta gamma\n", 0), 0);
  _closeShingles(model);

  model = _openShingles((dir.path() + "/absent").c_str());
  ASSERT_NE(model, nullptr);
  for (int slot = 0; slot < 4; ++slot) EXPECT_TRUE(Slot(model, slot).set.empty());
  _closeShingles(model);

  // 40 bytes: two records of one digest, and 8 bytes that are dropped.
  WriteFile(dir / "p.bin", std::string(32, 'a') + std::string(8, 'b'));
  model = _openShingles(dir.path().c_str());
  EXPECT_EQ(Slot(model, 0).list.size(), 2u);
  EXPECT_EQ(Slot(model, 0).set.size(), 1u);
  _closeShingles(model);
}

TEST(Embed, NullPointersAreHarmless) {
  testing::internal::CaptureStderr();
  tessel_model* model = _openShingles(nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_NE(model, nullptr);
  for (int slot = 0; slot < 4; ++slot) EXPECT_TRUE(Slot(model, slot).list.empty());
  EXPECT_EQ(_processShingles(model, nullptr, 5), 0);
  EXPECT_EQ(_processShingles(nullptr, "alpha beta\n", 11), 0);
  _closeShingles(model);
  _closeShingles(nullptr);
}

struct DriverRun {
  bool exited = false;
  std::string out, err;
};

// Runs test() in a child whose current directory is dir, with a time limit.
DriverRun RunDriverIn(const TempDir& dir) {
  const std::string out_path = dir / "stdout", err_path = dir / "stderr";
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(dir.path().c_str()))
      _exit(2);
    alarm(20);
    test();
    std::cout.flush();
    std::fflush(nullptr);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  DriverRun run;
  run.exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.out = ReadFile(out_path);
  run.err = ReadFile(err_path);
  return run;
}

TEST(EmbedDriver, ReportsAMissingTextAndReturns) {
  TempDir dir;
  DriverRun run = RunDriverIn(dir);
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Error opening file: data/test.txt\n");

  std::filesystem::create_directories(dir / "data/test.txt");  // a directory is no text
  run = RunDriverIn(dir);
  EXPECT_TRUE(run.exited);
  EXPECT_EQ(run.err, "Error opening file: data/test.txt\n");
}

TEST(EmbedDriver, ScoresTheTestTextWithOrWithoutAFinalLineEnd) {
  TempDir dir;
  std::filesystem::create_directory(dir / "data");
  WriteModel(dir / "data");
  for (const char* text : {"alpha beta\ngamma", "alpha beta\ngamma\n"}) {
    WriteFile(dir / "data/test.txt", text);
    DriverRun run = RunDriverIn(dir);
    EXPECT_TRUE(run.exited);
    // Three words, two known pairs: 100 / 1.01 / 1.01 against 0, phrase of all.
    EXPECT_EQ(run.out, "values: \t98.0296\t0\nstring:\nalpha beta gamma\n1\n") << text;
  }
  WriteFile(dir / "data/test.txt", "one two three");
  EXPECT_EQ(RunDriverIn(dir).out, "0\n");
}

}  // namespace
