#include "core/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "core/file_io.h"

int FileSystem::Open(const char* path, int flags, mode_t mode) { return open(path, flags, mode); }

ssize_t FileSystem::Write(int fd, const void* data, size_t size) { return write(fd, data, size); }

int FileSystem::Sync(int fd) { return fsync(fd); }

int FileSystem::LinkUnnamed(int fd, const std::string& name) { return LinkUnnamedFile(fd, name); }

int FileSystem::Rename(const char* from, const char* to) { return rename(from, to); }

FileSystem& FileSystem::Default() {
  static FileSystem system;
  return system;
}
