// Helpers shared by the fuzz targets.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// A private directory for the files the code under test reads and writes,
// removed at exit. Standard input and output are pointed at /dev/null so that
// the code can read and print freely.
inline const char* FuzzWorkDir() {
  static char dir[] = "/tmp/tessel-fuzz-XXXXXX";
  static bool made = false;
  if (!made) {
    if (mkdtemp(dir) == nullptr) abort();
    int null_fd = open("/dev/null", O_RDWR);
    if (null_fd < 0 || dup2(null_fd, 0) < 0 || dup2(null_fd, 1) < 0) abort();
    close(null_fd);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(dir, ignored);
    });
    made = true;
  }
  return dir;
}

// Takes small integers from the front of the input.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // A value in [low, high]; low when the input is used up.
  int Pick(int low, int high) {
    if (size_ == 0) return low;
    int value = low + data_[0] % (high - low + 1);
    ++data_;
    --size_;
    return value;
  }
  std::string Rest() const { return std::string(reinterpret_cast<const char*>(data_), size_); }

 private:
  const uint8_t* data_;
  size_t size_;
};
