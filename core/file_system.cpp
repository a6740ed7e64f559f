#include "core/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/file_io.h"

int FileSystem::Open(const char* path, int flags, mode_t mode) { return open(path, flags, mode); }

ssize_t FileSystem::Write(int fd, const void* data, size_t size) { return write(fd, data, size); }

int FileSystem::Sync(int fd) { return fsync(fd); }

int FileSystem::LinkUnnamed(int fd, const std::string& name) { return LinkUnnamedFile(fd, name); }

int FileSystem::Rename(const char* from, const char* to) { return rename(from, to); }

bool FileSystem::WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = Write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

FileSystem& FileSystem::Default() {
  static FileSystem system;
  return system;
}
