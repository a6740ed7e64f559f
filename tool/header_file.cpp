#include "tool/header_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include "core/file_io.h"
#include "core/messages.h"
#include "tool/exit_status.h"
#include "tool/file_list.h"

namespace {

constexpr char kKeyMarker[] = "QUIV_SHINGLES_VALUE";
constexpr size_t kKeyMarkerSize = sizeof(kKeyMarker) - 1;
constexpr char kKeyLine[] = "QUIV_SHINGLES_VALUE    = ";
constexpr size_t kScanBlock = 1 << 16;

enum class ScanResult {
  kHasKey,         // the marker occurs somewhere: leave the file alone
  kEmpty,          // exists and holds nothing
  kEndsWithBreak,  // its last byte is a line feed
  kNeedsBreak,     // missing, or its last line has no line feed
  kUnreadable,     // exists but cannot be read completely
};

void ReportError(const char* what, const std::string& path, std::ostream& errors) {
  errors << what << path << "\n";
  NoteRunError();
}

// Opens the header for reading and appending, never through a symbolic link
// (it could lead anywhere, /etc/passwd included) and without blocking on a
// FIFO. A missing header is created, and `created` says so. A header that
// may be read but not written is opened for reading only, so that one that
// holds the key still gives the warning.
int OpenHeader(const std::string& path, bool& created, bool& writable) {
  const char* name = path.c_str();
  const int flags = O_CLOEXEC | O_NOFOLLOW;
  for (int attempt = 0; attempt < 3; ++attempt) {
    int fd = OpenWithoutWaiting(name, O_RDWR | O_APPEND | flags);
    if (fd >= 0 || (errno != ENOENT && errno != EACCES && errno != EROFS)) return fd;
    if (errno != ENOENT) {
      writable = false;
      return OpenWithoutWaiting(name, O_RDONLY | flags);
    }
    fd = OpenWithoutWaiting(name, O_RDWR | O_APPEND | O_CREAT | O_EXCL | flags, 0666);
    if (fd >= 0) created = true;
    if (fd >= 0 || errno != EEXIST) return fd;  // EEXIST: another run was quicker
  }
  return -1;
}

// Looks for the key marker anywhere in the file. The marker holds no line
// feed, so finding it in the bytes is the same as finding it in some line.
// Blocks overlap by the marker's length less one so that a marker split
// between two reads is still found.
ScanResult ScanHeader(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    // A device or a pipe is not a header file; reading /dev/zero, say,
    // would never end.
    return ScanResult::kUnreadable;
  }
  std::vector<char> block(kScanBlock + kKeyMarkerSize);
  size_t kept = 0;
  bool any_byte = false;
  char last_byte = '\n';
  for (;;) {
    ssize_t got = read(fd, block.data() + kept, kScanBlock);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return ScanResult::kUnreadable;
    if (got == 0) break;
    size_t filled = kept + static_cast<size_t>(got);
    any_byte = true;
    last_byte = block[filled - 1];
    if (memmem(block.data(), filled, kKeyMarker, kKeyMarkerSize) != nullptr)
      return ScanResult::kHasKey;
    kept = filled < kKeyMarkerSize - 1 ? filled : kKeyMarkerSize - 1;
    std::memmove(block.data(), block.data() + filled - kept, kept);
  }
  if (!any_byte) return ScanResult::kEmpty;
  return last_byte == '\n' ? ScanResult::kEndsWithBreak : ScanResult::kNeedsBreak;
}

// The scan of a header named apart from the file appended to (a path
// without the "hdr" extension).
ScanResult ScanHeader(const std::string& name) {
  int fd = OpenWithoutWaiting(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno == ENOENT ? ScanResult::kNeedsBreak : ScanResult::kUnreadable;
  ScanResult result = ScanHeader(fd);
  close(fd);
  return result;
}

// Appends the key line; a write cut short (a full disk) is taken back, and a
// header this run created is removed again rather than left empty.
void AppendKeyLine(int fd, const std::string& path, const std::string& text, bool created,
                   std::ostream& errors) {
  struct stat before;
  bool known_size = fstat(fd, &before) == 0;
  bool written = WriteAll(fd, text.data(), text.size());
  if (!written && created) unlink(path.c_str());
  if (!written && known_size && ftruncate(fd, before.st_size) != 0) {
    // Nothing more can be done; the message below still reports the failure.
  }
  if (!written) ReportError(messages::kErrorWritingFile, path, errors);
}

ScanResult ScanLocked(int fd, const std::string& path, bool created) {
  const std::string scan_name = ChangeFileExt(path, "hdr");
  if (scan_name != path) return ScanHeader(scan_name);
  ScanResult scan = ScanHeader(fd);
  // Still empty after this run created it: a new header starts with an empty line.
  return created && scan == ScanResult::kEmpty ? ScanResult::kNeedsBreak : scan;
}

}  // namespace

void UpdateHdrFile(std::string path, double value) { RecordHeaderVerdict(path, value, std::cout); }

void RecordHeaderVerdict(const std::string& path, double value, std::ostream& warnings) {
  RecordHeaderVerdict(path, value, warnings, std::cerr);
}

void RecordHeaderVerdict(const std::string& path, double value, std::ostream& warnings,
                         std::ostream& errors) {
  bool created = false, writable = true;
  int fd = OpenHeader(path, created, writable);
  if (fd < 0) {
    ReportError(messages::kErrorOpeningFile, path, errors);
    return;
  }
  // Held from the scan to the append, so that two runs record one key line.
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  ScanResult scan = ScanLocked(fd, path, created);
  if (scan == ScanResult::kHasKey) {
    warnings << messages::kAlreadyUpgraded << PrintableName(path) << messages::kAlreadyUpgradedEnd;
  } else if (scan == ScanResult::kUnreadable || !writable) {
    // Appending without knowing whether the key is already there could give
    // the file a second key line.
    ReportError(messages::kErrorOpeningFile, path, errors);
  } else {
    std::ostringstream addition;
    if (scan == ScanResult::kNeedsBreak) addition << "\n";
    addition << kKeyLine << value << "\n";
    AppendKeyLine(fd, path, addition.str(), created, errors);
  }
  close(fd);
}

namespace {

// The file a path names, as far as the run can tell without it existing:
// its directory resolved (links, "." and "..") and its own name.
std::string FileKey(const std::string& path, std::map<std::string, std::string>& directories) {
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  auto known = directories.find(directory);
  if (known == directories.end()) {
    char* resolved = realpath(directory.c_str(), nullptr);
    known = directories.emplace(directory, resolved != nullptr ? resolved : directory).first;
    free(resolved);
  }
  return known->second + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace

std::vector<bool> PrivateHeaders(const std::vector<std::string>& headers,
                                 const std::vector<std::string>& documents) {
  std::map<std::string, std::string> directories;
  std::map<std::string, int> uses;
  std::vector<std::string> keys;
  keys.reserve(headers.size());
  for (const std::string& header : headers) ++uses[keys.emplace_back(FileKey(header, directories))];
  for (const std::string& document : documents) {
    auto use = uses.find(FileKey(document, directories));
    if (use != uses.end()) ++use->second;
  }
  std::vector<bool> private_header(headers.size());
  for (size_t i = 0; i < headers.size(); ++i) private_header[i] = uses[keys[i]] == 1;
  return private_header;
}

std::vector<size_t> ReadAfterHeaders(const std::vector<std::string>& headers,
                                     const std::vector<std::string>& documents) {
  std::map<std::string, std::string> directories;
  // A file: one more than the last document so far whose header it is.
  std::map<std::string, size_t> last_with_header;
  std::vector<size_t> after(documents.size(), 0);
  for (size_t i = 0; i < documents.size(); ++i) {
    auto named = last_with_header.find(FileKey(documents[i], directories));
    if (named != last_with_header.end()) after[i] = named->second;
    last_with_header[FileKey(headers[i], directories)] = i + 1;
  }
  return after;
}
