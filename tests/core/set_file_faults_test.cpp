// A save of several files through a file system that fails one chosen call:
// the old files stay whole, or the save marker says that they may not, and
// the Status tells which.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <sstream>

#include "core/save_marker.h"
#include "core/set_file.h"
#include "support/test_support.h"

namespace {

enum Call { kOpen, kWrite, kSync, kLink, kRename, kCalls };
const char* const kNames[] = {"open", "write", "sync", "link", "rename"};

// Fails the Nth call of one kind with EIO; with short_writes, every write
// takes at most half of what it is given. With kill, the process ends there
// instead, as SIGKILL would end it: nothing after runs, no file is removed;
// its exit status is the number of temporary files named and not yet
// renamed, the only ones a kill may leave.
class FaultyFileSystem : public FileSystem {
 public:
  FaultyFileSystem(Call call, int nth, bool kill = false) : call_(call), nth_(nth), kill_(kill) {}
  bool short_writes = false;
  bool failed = false;  // the chosen call came

  int Open(const char* path, int flags, mode_t mode) override {
    return Fails(kOpen) ? -1 : FileSystem::Open(path, flags, mode);
  }
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (Fails(kWrite)) return -1;
    return FileSystem::Write(fd, data, short_writes && size > 1 ? size / 2 : size);
  }
  int Sync(int fd) override { return Fails(kSync) ? -1 : FileSystem::Sync(fd); }
  int LinkUnnamed(int fd, const std::string& name) override {
    const int linked = Fails(kLink) ? -1 : FileSystem::LinkUnnamed(fd, name);
    named_ += linked == 0;
    return linked;
  }
  int Rename(const char* from, const char* to) override {
    const int renamed = Fails(kRename) ? -1 : FileSystem::Rename(from, to);
    named_ -= renamed == 0;
    return renamed;
  }

 private:
  bool Fails(Call call) {
    if (call != call_ || ++count_ != nth_) return false;
    if (kill_) _exit(named_);
    failed = true;
    errno = EIO;
    return true;
  }
  Call call_;
  int nth_;
  bool kill_;
  int count_ = 0;
  int named_ = 0;
};

Status Save(const TempDir& dir, const std::string& p, const std::string& u, FileSystem& fs,
            std::ostream& messages) {
  return SaveSetFilesTogether(
      {{dir / "p.bin", p.data(), p.size()}, {dir / "u.bin", u.data(), u.size()}}, messages, 1, fs);
}

std::set<std::string> Entries(const TempDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.insert(entry.path().filename());
  return names;
}

TEST(SaveFaults, EachFailedCallLeavesTheOldModelOrAMarker) {
  const std::string old_p(32, 'p'), old_u(48, 'u'), new_p(64, 'P'), new_u(16, 'U');
  for (int call = kOpen; call < kCalls; ++call) {
    for (int nth = 1;; ++nth) {
      SCOPED_TRACE(std::string(kNames[call]) + " " + std::to_string(nth));
      TempDir dir;
      std::ostringstream ignored, messages;
      ASSERT_TRUE(Save(dir, old_p, old_u, FileSystem::Default(), ignored).ok());
      FaultyFileSystem faulty(static_cast<Call>(call), nth);
      const Status saved = Save(dir, new_p, new_u, faulty, messages);
      if (!faulty.failed) {  // fewer calls than nth: the save is whole
        EXPECT_TRUE(saved.ok());
        EXPECT_GT(nth, 1) << "the save never makes this call";
        break;
      }
      const std::string p = ReadFile(dir / "p.bin"), u = ReadFile(dir / "u.bin");
      if (call == kOpen && nth < 3) {
        // An unnamed temporary file refused, a named one stands in.
        EXPECT_TRUE(saved.ok());
        EXPECT_EQ(p + u, new_p + new_u);
        EXPECT_EQ(Entries(dir), (std::set<std::string>{"p.bin", "u.bin"}));
        continue;
      }
      ASSERT_FALSE(saved.ok());
      // Each file's temporary file, then the save marker.
      const char* const kFailed[] = {"p.bin", "u.bin", kSaveMarker};
      EXPECT_EQ(messages.str(), "Error writing file: " + dir / kFailed[nth - 1] + "\n");
      EXPECT_EQ(saved.message() + "\n", messages.str());
      if (call != kRename) {
        EXPECT_EQ(saved.code(), StatusCode::kIoError);
        EXPECT_EQ(p + u, old_p + old_u) << "the old files are replaced";
        EXPECT_EQ(Entries(dir), (std::set<std::string>{"p.bin", "u.bin"}));
      } else {
        // After a failed rename the files may be mixed: the marker stays, and
        // a reader refuses the model until it is saved again.
        EXPECT_EQ(saved.code(), StatusCode::kIncompleteSave);
        EXPECT_EQ(p, nth == 1 ? old_p : new_p);
        EXPECT_EQ(ModelReadLock({dir / "p.bin"}).Check().code(), StatusCode::kIncompleteSave);
      }
      ASSERT_TRUE(Save(dir, new_p, new_u, FileSystem::Default(), ignored).ok());
      EXPECT_EQ(ReadFile(dir / "p.bin") + ReadFile(dir / "u.bin"), new_p + new_u);
      EXPECT_EQ(Entries(dir), (std::set<std::string>{"p.bin", "u.bin"}));
    }
  }
}

// Short writes are completed. A marker that an earlier save left stays when
// this save fails to write its own: the files it stands for may still be mixed.
TEST(SaveFaults, ShortWritesAreCompletedAndAnEarlierSavesMarkerStays) {
  TempDir dir;
  std::string p(70000, '\0'), u = "some bytes";
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<char>(i * 7);
  FaultyFileSystem short_writing(kCalls, 0);
  short_writing.short_writes = true;
  std::ostringstream messages;
  ASSERT_TRUE(Save(dir, p, u, short_writing, messages).ok());
  EXPECT_EQ(ReadFile(dir / "p.bin"), p);
  EXPECT_EQ(ReadFile(dir / "u.bin"), u);
  EXPECT_EQ(messages.str(), "");
  WriteFile(dir / kSaveMarker, "");
  FaultyFileSystem faulty(kWrite, 3);  // the marker's
  EXPECT_EQ(Save(dir, "new", "new", faulty, messages).code(), StatusCode::kIoError);
  EXPECT_TRUE(faulty.failed);
  EXPECT_EQ(Entries(dir), (std::set<std::string>{"p.bin", "u.bin", kSaveMarker}));
}

// A save killed before each of its system calls in turn: only a kill
// between naming a temporary file and renaming it may leave one, and the
// next save removes whatever was left (the save marker of a kill between the
// renames is meant to stay until then).
TEST(SaveFaults, KilledSavesLeaveNoTemporaryFiles) {
  TempDir dir;
  const int unnamed = open(dir.path().c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (unnamed < 0) GTEST_SKIP() << "no unnamed temporary files here";
  close(unnamed);
  const std::string digests(48000, 'd');
  std::ostringstream ignored;
  for (int call = kOpen; call < kCalls; ++call) {
    for (int nth = 1, status = 0; !WIFEXITED(status) || WEXITSTATUS(status) != 100; ++nth) {
      SCOPED_TRACE(std::string(kNames[call]) + " " + std::to_string(nth));
      const pid_t pid = fork();
      if (pid == 0) {
        FaultyFileSystem killing(static_cast<Call>(call), nth, true);
        Save(dir, digests, digests, killing, ignored);
        _exit(100);  // no Nth call came
      }
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status));
      std::set<std::string> left = Entries(dir);
      for (const char* kept : {"p.bin", "u.bin", kSaveMarker}) left.erase(kept);
      EXPECT_LE(left.size(), static_cast<size_t>(WEXITSTATUS(status)));
      ASSERT_TRUE(Save(dir, "", "", FileSystem::Default(), ignored).ok());
      EXPECT_EQ(Entries(dir), (std::set<std::string>{"p.bin", "u.bin"}));
    }
  }
}

}  // namespace
