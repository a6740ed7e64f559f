// Small helpers for reading and writing through file descriptors, and for
// the file-system steps of saving safely.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <streambuf>
#include <string>
#include <vector>

// Writes all of data, retrying short writes and interrupted calls; false on
// an error (the descriptor may then hold a part of the data).
bool WriteAll(int fd, const void* data, size_t size);

// Opens a file without waiting in open() for the other end of a FIFO, then
// switches the descriptor to blocking reads and writes. -1 with errno set on
// failure.
int OpenWithoutWaiting(const char* name, int flags, mode_t mode = 0);

// What OpenRegularFile found.
enum class FileCheck { kRegular, kUnopened, kUnexamined, kNotRegular };
// Opens a file as OpenWithoutWaiting does (flags as open() takes them, close
// on exec added) and examines it: kRegular with fd and info set when it is a
// regular file; otherwise fd is -1, and errno is set when it could not be
// opened (kUnopened) or examined (kUnexamined). Only regular files are read
// or written whole: a device could feed an endless model or header.
FileCheck OpenRegularFile(const std::string& name, int flags, int& fd, struct stat& info,
                          mode_t mode = 0);

// Opens a file for reading without ever blocking in open(): a FIFO with no
// writer then reads as empty, while a pipe with a writer is read as usual
// (the descriptor is switched back to blocking reads). Character and block
// devices are refused with EOPNOTSUPP, since /dev/zero or /dev/urandom would
// never end; a directory is refused with EISDIR unless allowed. -1 with errno
// set on failure.
int OpenInputFile(const std::string& name, bool allow_directory);

// A stream buffer reading a descriptor in large blocks; closes it at the end.
class DescriptorInput : public std::streambuf {
 public:
  explicit DescriptorInput(int fd);
  ~DescriptorInput() override;
  DescriptorInput(const DescriptorInput&) = delete;
  DescriptorInput& operator=(const DescriptorInput&) = delete;

 protected:
  int_type underflow() override;

 private:
  int fd_;
  std::vector<char> block_;
};

// Gives an unnamed file (opened with O_TMPFILE) the name `name`, through
// /proc, or where there is none by its descriptor alone (which needs
// privilege). 0, or -1 with errno set: EEXIST when the name is taken.
int LinkUnnamedFile(int fd, const std::string& name);

std::string DirectoryOf(const std::string& path);
std::string BaseOf(const std::string& path);

// The name a chain of symbolic links leads to, also when its last link is
// dangling (saving then creates the file it names). A name that is no link is
// returned unchanged; a loop gives the empty string.
std::string FollowLinks(std::string path);

// Advisory locks (flock) on directories, held until destroyed: exclusive
// for saving into them, shared for reading a model out of them. Each
// directory is locked once, however it is named, and in one global order, so
// two processes locking the same directories cannot deadlock.
class DirectoryLocks {
 public:
  explicit DirectoryLocks(const std::vector<std::string>& directories, bool shared = false);
  ~DirectoryLocks();
  DirectoryLocks(const DirectoryLocks&) = delete;
  DirectoryLocks& operator=(const DirectoryLocks&) = delete;
  // Makes the renames done under the locks durable.
  void SyncAll() const;

 private:
  std::vector<int> fds_;
};
