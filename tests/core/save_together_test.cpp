// Saving the files of a model together: saves into one directory wait for
// each other, and killed saves leave no temporary file for long.
#include <fcntl.h>
#include <sys/file.h>

#include <csignal>
#include <set>

#include "core/set_file.h"
#include "support/test_support.h"

namespace {

std::set<std::string> Entries(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.insert(entry.path().filename());
  return names;
}

bool SaveModel(const TempDir& dir, const std::vector<Digest>& digests) {
  return SaveSetFilesTogether({{dir / "p.bin", digests.data(), digests.size()},
                               {dir / "u.bin", digests.data(), digests.size()}});
}

TEST(SaveTogether, WaitsForTheLockOnTheDirectory) {
  TempDir dir;
  int lock = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(lock);  // the inherited descriptor would hold the lock for the child too
    _exit(SaveModel(dir, std::vector<Digest>(3)) ? 0 : 1);
  }
  usleep(200000);
  EXPECT_EQ(Entries(dir), std::set<std::string>()) << "placed while the directory was locked";
  close(lock);
  int status = -1;
  waitpid(pid, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(dir / "u.bin").size(), 48u);
}

TEST(SaveTogether, KilledSavesLeaveNoTemporaryFiles) {
  TempDir dir;
  const std::set<std::string> model{"p.bin", "u.bin"};
  const std::vector<Digest> digests(300000);
  int rounds_with_leftovers = 0;
  for (int round = 0; round < 10; ++round) {
    pid_t pid = fork();
    if (pid == 0)
      for (;;) SaveModel(dir, digests);
    usleep(30000 + 13000 * round);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    // Only a kill between naming and renaming leaves one (rare, but a busy
    // machine can stretch that moment); named from the start, nearly every
    // round would.
    std::set<std::string> left = Entries(dir);
    for (const std::string& name : model) left.erase(name);
    rounds_with_leftovers += !left.empty();
    ASSERT_TRUE(SaveModel(dir, {}));
    EXPECT_EQ(Entries(dir), model) << "round " << round;
  }
  EXPECT_LE(rounds_with_leftovers, 5);
}

}  // namespace
