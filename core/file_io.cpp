#include "core/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "core/file_system.h"

namespace {

constexpr size_t kInputBlock = 1 << 16;
constexpr int kMaxLinkHops = 40;  // the kernel's own limit

}  // namespace

bool WriteAll(int fd, const void* data, size_t size) {
  return FileSystem::Default().WriteAll(fd, data, size);
}

int OpenWithoutWaiting(const char* name, int flags, mode_t mode) {
  const int fd = open(name, flags | O_NONBLOCK, mode);
  if (fd < 0) return -1;
  const int now = fcntl(fd, F_GETFL);
  if (now < 0 || fcntl(fd, F_SETFL, now & ~O_NONBLOCK) != 0) {
    const int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

FileCheck OpenRegularFile(const std::string& name, int flags, int& fd, struct stat& info,
                          mode_t mode) {
  fd = OpenWithoutWaiting(name.c_str(), flags | O_CLOEXEC, mode);
  if (fd < 0) return FileCheck::kUnopened;
  FileCheck check = FileCheck::kRegular;
  if (fstat(fd, &info) != 0)
    check = FileCheck::kUnexamined;
  else if (!S_ISREG(info.st_mode))
    check = FileCheck::kNotRegular;
  if (check != FileCheck::kRegular) {
    const int error = errno;
    close(fd);
    fd = -1;
    errno = error;
  }
  return check;
}

int OpenInputFile(const std::string& name, bool allow_directory) {
  int fd = OpenWithoutWaiting(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info;
  int refusal = 0;
  if (fstat(fd, &info) != 0) refusal = errno;
  else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) refusal = EOPNOTSUPP;
  else if (S_ISDIR(info.st_mode) && !allow_directory) refusal = EISDIR;
  if (refusal != 0) {
    close(fd);
    errno = refusal;
    return -1;
  }
  return fd;
}

DescriptorInput::DescriptorInput(int fd) : fd_(fd), block_(kInputBlock) {}

DescriptorInput::~DescriptorInput() {
  if (fd_ >= 0) close(fd_);
}

DescriptorInput::int_type DescriptorInput::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  ssize_t got;
  do {
    got = fd_ < 0 ? 0 : read(fd_, block_.data(), block_.size());
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return traits_type::eof();  // a read error ends the input as its end does
  setg(block_.data(), block_.data(), block_.data() + got);
  return traits_type::to_int_type(*gptr());
}

int LinkUnnamedFile(int fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  const int linked = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
  if (linked != 0 && errno == ENOENT)  // no /proc: needs the right to link by descriptor
    return linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
  return linked;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FollowLinks(std::string path) {
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    std::string target(static_cast<size_t>(info.st_size) + 1, '\0');
    ssize_t size = readlink(path.c_str(), target.data(), target.size());
    if (size <= 0 || static_cast<size_t>(size) >= target.size()) return std::string();
    target.resize(static_cast<size_t>(size));
    // A relative link is relative to the directory that holds it.
    path = target[0] == '/' ? target : DirectoryOf(path) + "/" + target;
  }
  return std::string();
}

DirectoryLocks::DirectoryLocks(const std::vector<std::string>& directories, bool shared) {
  std::vector<std::pair<std::pair<dev_t, ino_t>, int>> opened;
  for (const std::string& directory : directories) {
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info;
    if (fd < 0) continue;  // saving goes ahead unlocked; it may still succeed
    if (fstat(fd, &info) != 0) {
      close(fd);
      continue;
    }
    opened.push_back({{info.st_dev, info.st_ino}, fd});
  }
  std::sort(opened.begin(), opened.end());
  for (size_t i = 0; i < opened.size(); ++i) {
    // A second descriptor of a directory already locked here would wait for
    // this very process.
    if (i > 0 && opened[i].first == opened[i - 1].first) {
      close(opened[i].second);
      continue;
    }
    while (flock(opened[i].second, shared ? LOCK_SH : LOCK_EX) != 0 && errno == EINTR) {
    }
    fds_.push_back(opened[i].second);
  }
}

DirectoryLocks::~DirectoryLocks() {
  for (int fd : fds_) close(fd);  // closing releases the lock
}

void DirectoryLocks::SyncAll() const {
  for (int fd : fds_) fsync(fd);
}
