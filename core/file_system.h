// The system calls through which set files are saved, as a seam: saving
// takes a FileSystem, and tests hand it one that fails a chosen call, to
// check that a failure at any step leaves the old files whole (LevelDB's
// Env plays this part). Each call returns what the system call returns, with
// errno set on failure.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual int Open(const char* path, int flags, mode_t mode);
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Sync(int fd);
  // Gives an unnamed file (O_TMPFILE) a name (LinkUnnamedFile).
  virtual int LinkUnnamed(int fd, const std::string& name);
  virtual int Rename(const char* from, const char* to);

  // Writes all of data through Write, retrying short writes and interrupted
  // calls; false on an error.
  bool WriteAll(int fd, const void* data, size_t size);

  // The system's own calls.
  static FileSystem& Default();
};
