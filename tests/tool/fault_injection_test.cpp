// Saving models when the disk says no: every existing file stays as it was
// and the failure is reported; a save killed part way leaves the old model or
// the new one, never a piece of one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <random>

#include "core/set_file.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

const char* const kModelFiles[] = {"p.bin", "p.bin.2", "u.bin", "u.bin.2"};

// A directory with learning texts and an old model whose files hold 'o' bytes.
void PrepareModelDir(const TempDir& dir) {
  WriteFile(dir / "prot.txt", "alpha beta gamma delta.\n");
  WriteFile(dir / "plain.txt", "one two three four.\n");
  for (const char* name : kModelFiles) WriteFile(dir / name, std::string(32, 'o'));
}

ProcessResult Train(const TempDir& dir) {
  return RunTessel({"-p", "prot.txt", "-u", "plain.txt", "-o", "1", "-v"}, dir.path());
}

TEST(FaultInjection, ToolSaveThatFailsKeepsTheOldModel) {
  {
    // p.bin replaced by a directory: that save fails, the others go ahead.
    TempDir dir;
    PrepareModelDir(dir);
    unlink((dir / "p.bin").c_str());
    mkdir((dir / "p.bin").c_str(), 0700);
    ProcessResult run = Train(dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("Error opening file: p.bin\n"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(dir / "u.bin").size(), 64u);  // four words saved
  }
  {
    // p.bin a link to a full device: the write fails and is reported.
    TempDir dir;
    PrepareModelDir(dir);
    unlink((dir / "p.bin").c_str());
    ASSERT_EQ(symlink("/dev/full", (dir / "p.bin").c_str()), 0);
    ProcessResult run = Train(dir);
    EXPECT_NE(run.err.find("Error writing file: p.bin\n"), std::string::npos) << run.err;
  }
  if (geteuid() != 0) {
    TempDir dir;
    PrepareModelDir(dir);
    chmod(dir.path().c_str(), 0500);
    ProcessResult run = Train(dir);
    chmod(dir.path().c_str(), 0700);
    for (const char* name : kModelFiles) {
      EXPECT_NE(run.err.find(std::string("Error opening file: ") + name + "\n"), std::string::npos);
      EXPECT_EQ(ReadFile(dir / name), std::string(32, 'o'));
    }
  }
}

TEST(FaultInjection, KilledSaveLeavesOldOrNewModel) {
  TempDir dir;
  const std::string target = dir / "p.bin";
  const size_t old_records = 1000, new_records = 200000;
  CShingleSet old_model;
  for (size_t i = 0; i < old_records; ++i) old_model.list.emplace_back();
  saveShinglesToFile(target, old_model);

  std::mt19937 random(20261206);
  for (int round = 0; round < 12; ++round) {
    pid_t pid = fork();
    if (pid == 0) {
      CShingleSet model;
      for (size_t i = 0; i < new_records; ++i) {
        CShingle record;
        record.hash[i % 16] = static_cast<unsigned char>(i);
        model.list.push_back(record);
      }
      for (;;) saveShinglesToFile(target, model);
    }
    usleep(20000 + random() % 150000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_TRUE(info.st_size == static_cast<off_t>(old_records * 16) ||
                info.st_size == static_cast<off_t>(new_records * 16))
        << "round " << round << ": " << info.st_size << " bytes";
  }
}

}  // namespace
