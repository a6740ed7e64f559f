// Saving the files of a model together: saves into one directory wait for
// each other.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include "core/save_marker.h"
#include "core/set_file.h"
#include "support/test_support.h"

namespace {

Status SaveModel(const TempDir& dir, const std::vector<Digest>& digests) {
  return SaveSetFilesTogether({{dir / "p.bin", digests.data(), digests.size() * sizeof(Digest)},
                               {dir / "u.bin", digests.data(), digests.size() * sizeof(Digest)}},
                              std::cerr);
}

// Whether /proc/locks lists an flock of process pid on the inode, held or
// (with waiting) waited for: "N: [->] FLOCK ADVISORY WRITE PID MAJOR:MINOR:INODE ...".
bool LockListed(pid_t pid, ino_t inode, bool waiting) {
  std::ifstream locks("/proc/locks");
  std::string line, number, kind, mode, access, device;
  long owner;
  const std::string on_inode = ":" + std::to_string(inode);
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    const bool waiter = fields >> number >> kind && kind == "->" && fields >> kind;
    if (waiter == waiting && fields >> mode >> access >> owner >> device && kind == "FLOCK" &&
        owner == pid && device.size() > on_inode.size() &&
        device.compare(device.size() - on_inode.size(), on_inode.size(), on_inode) == 0)
      return true;
  }
  return false;
}

// However slow the saving child, it must come to wait for the lock, and place
// nothing before the lock is released.
TEST(SaveTogether, WaitsForTheLockOnTheDirectory) {
  TempDir dir;
  int lock = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  struct stat info;
  ASSERT_EQ(fstat(lock, &info), 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  if (!LockListed(getpid(), info.st_ino, false)) GTEST_SKIP() << "/proc/locks lists no flocks";
  pid_t pid = fork();
  if (pid == 0) {
    close(lock);  // the inherited descriptor would hold the lock for the child too
    _exit(SaveModel(dir, std::vector<Digest>(3)).ok() ? 0 : 1);
  }
  int status = -1;
  bool waiting = false, ended = false;
  for (int poll = 0; poll < 6000 && !waiting && !ended; ++poll) {  // 60 s at most
    ended = waitpid(pid, &status, WNOHANG) == pid;
    waiting = !ended && LockListed(pid, info.st_ino, true);
    if (!waiting) usleep(10000);
  }
  EXPECT_TRUE(waiting) << "the save never waited for the directory's lock";
  EXPECT_FALSE(std::filesystem::exists(dir / "p.bin") || std::filesystem::exists(dir / "u.bin"))
      << "placed while the directory was locked";
  close(lock);
  if (!ended) waitpid(pid, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(dir / "u.bin").size(), 48u);
}

}  // namespace
