#include "tool/header_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sstream>
#include <vector>

#include "core/file_io.h"
#include "core/messages.h"
#include "tool/file_list.h"

namespace {

constexpr char kKeyMarker[] = "QUIV_SHINGLES_VALUE";
constexpr size_t kKeyMarkerSize = sizeof(kKeyMarker) - 1;
constexpr char kKeyLine[] = "QUIV_SHINGLES_VALUE    = ";
constexpr size_t kScanBlock = 1 << 16;

enum class ScanResult {
  kHasKey,         // the marker occurs somewhere: leave the file alone
  kEndsWithBreak,  // empty, or its last byte is a line feed
  kNeedsBreak,     // missing, or its last line has no line feed
  kUnreadable,     // exists but cannot be read completely
};

void ReportError(const char* what, const std::string& path) {
  std::cerr << what << path << "\n";
}

// Looks for the key marker anywhere in the file. The marker holds no line
// feed, so finding it in the bytes is the same as finding it in some line.
// Blocks overlap by the marker's length less one so that a marker split
// between two reads is still found.
ScanResult ScanHeader(const std::string& name) {
  // Non-blocking, so that a pipe in the header's place cannot stall the run.
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? ScanResult::kNeedsBreak : ScanResult::kUnreadable;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    // A device or a directory is not a header file; reading /dev/zero, say,
    // would never end.
    close(fd);
    return ScanResult::kUnreadable;
  }
  std::vector<char> block(kScanBlock + kKeyMarkerSize);
  size_t kept = 0;
  bool any_byte = false;
  char last_byte = '\n';
  ScanResult result = ScanResult::kEndsWithBreak;
  for (;;) {
    ssize_t got = read(fd, block.data() + kept, kScanBlock);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result = ScanResult::kUnreadable;
      break;
    }
    if (got == 0) {
      if (any_byte && last_byte != '\n') result = ScanResult::kNeedsBreak;
      break;
    }
    size_t filled = kept + static_cast<size_t>(got);
    any_byte = true;
    last_byte = block[filled - 1];
    if (memmem(block.data(), filled, kKeyMarker, kKeyMarkerSize) != nullptr) {
      result = ScanResult::kHasKey;
      break;
    }
    kept = filled < kKeyMarkerSize - 1 ? filled : kKeyMarkerSize - 1;
    std::memmove(block.data(), block.data() + filled - kept, kept);
  }
  close(fd);
  return result;
}

}  // namespace

void UpdateHdrFile(std::string path, double value) {
  ScanResult scan = ScanHeader(ChangeFileExt(path, "hdr"));
  if (scan == ScanResult::kHasKey) {
    std::cout << "Warning; file \"" << path << "\" was already upgraded.\n";
    return;
  }
  if (scan == ScanResult::kUnreadable) {
    // Appending without knowing whether the key is already there could give
    // the file a second key line.
    ReportError(messages::kErrorOpeningFile, path);
    return;
  }

  std::ostringstream addition;
  if (scan == ScanResult::kNeedsBreak) addition << "\n";
  addition << kKeyLine << value << "\n";
  const std::string text = addition.str();

  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    ReportError(messages::kErrorOpeningFile, path);
    return;
  }
  // A write cut short (a full disk) would leave a piece of the key line in
  // the file; only what this call appended is taken back.
  struct stat before;
  bool known_size = fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
  bool written = WriteAll(fd, text.data(), text.size());
  if (!written && known_size && ftruncate(fd, before.st_size) != 0) {
    // Nothing more can be done; the message below still reports the failure.
  }
  if (close(fd) != 0) written = false;
  if (!written) ReportError(messages::kErrorWritingFile, path);
}
