// Saving the files of a model together: saves into one directory wait for
// each other, and killed saves leave no temporary file for long.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <set>
#include <sstream>

#include "core/save_marker.h"
#include "core/set_file.h"
#include "support/test_support.h"

namespace {

std::set<std::string> Entries(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.insert(entry.path().filename());
  return names;
}

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

// Ends the process before the Nth call of one kind, as SIGKILL would end it
// there: nothing after it runs, no file is removed. The exit status is the
// number of temporary files named and not yet renamed, the only ones a kill
// may leave.
enum Call { kOpen, kWrite, kSync, kLink, kRename, kCalls };
class KillingFileSystem : public FileSystem {
 public:
  KillingFileSystem(Call call, int nth) : call_(call), nth_(nth) {}
  int Open(const char* path, int flags, mode_t mode) override {
    Reach(kOpen);
    return FileSystem::Open(path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    Reach(kWrite);
    return FileSystem::Write(fd, data, size);
  }
  int Sync(int fd) override {
    Reach(kSync);
    return FileSystem::Sync(fd);
  }
  int LinkUnnamed(int fd, const std::string& name) override {
    Reach(kLink);
    const int linked = FileSystem::LinkUnnamed(fd, name);
    named_ += linked == 0;
    return linked;
  }
  int Rename(const char* from, const char* to) override {
    Reach(kRename);
    const int renamed = FileSystem::Rename(from, to);
    named_ -= renamed == 0;
    return renamed;
  }

 private:
  void Reach(Call call) {
    if (call == call_ && ++count_ == nth_) _exit(named_);
  }
  Call call_;
  int nth_;
  int count_ = 0;
  int named_ = 0;
};

// A save killed before each of its system calls in turn: only a kill
// between naming a temporary file and renaming it may leave one, and the
// next save removes whatever was left (the save marker of a kill between the
// renames is meant to stay until then).
TEST(SaveTogether, KilledSavesLeaveNoTemporaryFiles) {
  TempDir dir;
  const int unnamed = open(dir.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (unnamed < 0) GTEST_SKIP() << "no unnamed temporary files here";
  close(unnamed);
  const std::set<std::string> model{"p.bin", "u.bin"};
  const std::vector<Digest> digests(3000);
  for (int call = kOpen; call < kCalls; ++call) {
    for (int nth = 1, status = 0; !WIFEXITED(status) || WEXITSTATUS(status) != 100; ++nth) {
      SCOPED_TRACE(std::to_string(call) + " " + std::to_string(nth));
      pid_t pid = fork();
      if (pid == 0) {
        KillingFileSystem killing(static_cast<Call>(call), nth);
        std::ostringstream ignored;
        const size_t bytes = digests.size() * sizeof(Digest);
        SaveSetFilesTogether(
            {{dir / "p.bin", digests.data(), bytes}, {dir / "u.bin", digests.data(), bytes}},
            ignored, 1, killing);
        _exit(100);  // no Nth call came
      }
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status));
      std::set<std::string> left = Entries(dir);
      for (const std::string& name : model) left.erase(name);
      left.erase(kSaveMarker);
      EXPECT_LE(left.size(), static_cast<size_t>(WEXITSTATUS(status)));
      ASSERT_TRUE(SaveModel(dir, {}).ok());
      EXPECT_EQ(Entries(dir), model);
    }
  }
}

}  // namespace
