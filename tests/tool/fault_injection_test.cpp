// Saving models when the disk says no: every existing file stays as it was
// and the failure is reported; a save killed part way leaves the old model or
// the new one, never a piece of one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <random>

#include "core/set_file.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

const char* const kModelFiles[] = {"p.bin", "p.bin.2", "u.bin", "u.bin.2"};

// Trains over an old model (files of 'o' bytes) after `spoil` has set a trap.
ProcessResult TrainOver(const TempDir& dir, const std::function<void()>& spoil) {
  WriteFile(dir / "prot.txt", "alpha beta gamma delta.\n");
  WriteFile(dir / "plain.txt", "one two three four.\n");
  for (const char* name : kModelFiles) WriteFile(dir / name, std::string(32, 'o'));
  spoil();
  return RunTessel({"-p", "prot.txt", "-u", "plain.txt", "-o", "1", "-v"}, dir.path());
}

TEST(FaultInjection, ToolSaveThatFailsKeepsTheOldModel) {
  TempDir as_dir, as_full, read_only;
  // p.bin replaced by a directory: that save fails, so none of the four is replaced.
  ProcessResult run = TrainOver(as_dir, [&] {
    unlink((as_dir / "p.bin").c_str());
    mkdir((as_dir / "p.bin").c_str(), 0700);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("Error opening file: p.bin\n"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(as_dir / "u.bin"), std::string(32, 'o'));
  // p.bin a link to a full device: the write fails and is reported.
  run = TrainOver(as_full, [&] {
    unlink((as_full / "p.bin").c_str());
    ASSERT_EQ(symlink("/dev/full", (as_full / "p.bin").c_str()), 0);
  });
  EXPECT_NE(run.err.find("Error writing file: p.bin\n"), std::string::npos) << run.err;
  if (geteuid() == 0) return;  // permissions do not hold for root
  run = TrainOver(read_only, [&] { chmod(read_only.path().c_str(), 0500); });
  chmod(read_only.path().c_str(), 0700);
  for (const char* name : kModelFiles) {
    EXPECT_NE(run.err.find(std::string("Error opening file: ") + name + "\n"), std::string::npos);
    EXPECT_EQ(ReadFile(read_only / name), std::string(32, 'o'));
  }
}

TEST(FaultInjection, KilledSaveLeavesOldOrNewModel) {
  TempDir dir;
  const std::string target = dir / "p.bin";
  const size_t old_records = 1000, new_records = 200000;
  CShingleSet old_model;
  old_model.list.resize(old_records);
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
