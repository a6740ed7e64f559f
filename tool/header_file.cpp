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
#include "tool/messages.h"

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

// Opens an existing header for reading and appending, never through a
// symbolic link (it could lead anywhere, /etc/passwd included) and without
// blocking on a FIFO. A header that may be read but not written is opened
// for reading only, so that one that holds the key still gives the warning.
// -1 with errno ENOENT when there is none.
int OpenHeader(const std::string& path, bool& writable) {
  const char* name = path.c_str();
  const int flags = O_CLOEXEC | O_NOFOLLOW;
  const int fd = OpenWithoutWaiting(name, O_RDWR | O_APPEND | flags);
  if (fd >= 0 || (errno != EACCES && errno != EROFS)) return fd;
  writable = false;
  return OpenWithoutWaiting(name, O_RDONLY | flags);
}

enum class Creation {
  kCreated,
  kTaken,      // the name exists now: another run was quicker
  kUnopened,   // the directory refuses a new file
  kUnwritten,  // the text could not be written (a full disk); nothing is left
};

// Creates a header that is not there, holding `text`. The text is written
// into an unnamed file in the header's directory, which then gets its name,
// so that a run killed meanwhile leaves no empty header behind and no other
// run reads one half written. Where the file system has no unnamed files
// (or one cannot be named) the header is created by name and then written,
// and removed again when the write fails.
Creation CreateHeader(const std::string& path, const std::string& text) {
  int fd = open(DirectoryOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd >= 0) {
    const bool written = WriteAll(fd, text.data(), text.size());
    const int linked = written ? LinkUnnamedFile(fd, path) : -1;
    const int error = errno;
    close(fd);
    if (linked == 0) return Creation::kCreated;
    if (!written) return Creation::kUnwritten;
    if (error == EEXIST) return Creation::kTaken;
  } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    return Creation::kUnopened;
  }
  fd = OpenWithoutWaiting(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          0666);
  if (fd < 0) return errno == EEXIST ? Creation::kTaken : Creation::kUnopened;
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  const bool written = WriteAll(fd, text.data(), text.size());
  if (!written) unlink(path.c_str());
  close(fd);
  return written ? Creation::kCreated : Creation::kUnwritten;
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

// Appends the key line; a write cut short (a full disk) is taken back.
void AppendKeyLine(int fd, const std::string& path, const std::string& text,
                   std::ostream& errors) {
  struct stat before;
  bool known_size = fstat(fd, &before) == 0;
  bool written = WriteAll(fd, text.data(), text.size());
  if (!written && known_size && ftruncate(fd, before.st_size) != 0) {
    // Nothing more can be done; the message below still reports the failure.
  }
  if (!written) ReportError(messages::kErrorWritingFile, path, errors);
}

ScanResult ScanLocked(int fd, const std::string& path) {
  const std::string scan_name = ChangeFileExt(path, "hdr");
  return scan_name != path ? ScanHeader(scan_name) : ScanHeader(fd);
}

// What is appended for the scan's result: the key line, after a line feed
// where the last line has none (or the header is new).
std::string KeyAddition(ScanResult scan, double value) {
  std::ostringstream addition;
  if (scan == ScanResult::kNeedsBreak) addition << "\n";
  addition << kKeyLine << value << "\n";
  return addition.str();
}

void WarnAlreadyUpgraded(const std::string& path, std::ostream& warnings) {
  warnings << messages::kAlreadyUpgraded << PrintableName(path) << messages::kAlreadyUpgradedEnd;
}

// Records the verdict in a header that is open.
void UpdateHeader(int fd, const std::string& path, double value, bool writable,
                  std::ostream& warnings, std::ostream& errors) {
  // Held from the scan to the append, so that two runs record one key line.
  while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
  const ScanResult scan = ScanLocked(fd, path);
  if (scan == ScanResult::kHasKey) {
    WarnAlreadyUpgraded(path, warnings);
  } else if (scan == ScanResult::kUnreadable || !writable) {
    // Appending without knowing whether the key is already there could give
    // the file a second key line.
    ReportError(messages::kErrorOpeningFile, path, errors);
  } else {
    AppendKeyLine(fd, path, KeyAddition(scan, value), errors);
  }
}

// A document named NAME.hdr is its own header file: by design nothing is
// written into it, and the run is told so. A name cut short by a NUL, or a
// link to the document's own header, reaching the document is an error.
void ReportHeaderIsDocument(const std::string& document, bool by_design, std::ostream& errors) {
  errors << (by_design ? messages::kWarningPrefix : messages::kErrorPrefix)
         << messages::kHeaderIsDocument << PrintableName(document)
         << messages::kHeaderIsDocumentEnd;
  if (!by_design) NoteRunError();
}

// Whether the header opened as fd is the document: appending the key line
// would then write into the text that was judged.
bool IsTheDocument(const std::string& document, int fd) {
  struct stat header, text;
  return fstat(fd, &header) == 0 && stat(document.c_str(), &text) == 0 &&
         header.st_dev == text.st_dev && header.st_ino == text.st_ino;
}

}  // namespace

void UpdateHdrFile(std::string path, double value) {
  RecordHeaderVerdict(std::string(), path, value, std::cout);
}

void RecordHeaderVerdict(const std::string& document, const std::string& path, double value,
                         std::ostream& warnings) {
  RecordHeaderVerdict(document, path, value, warnings, std::cerr);
}

void RecordHeaderVerdict(const std::string& document, const std::string& path, double value,
                         std::ostream& warnings, std::ostream& errors) {
  // A name is used up to its first NUL, so such a name may well open the
  // document itself.
  if (path.find('\0') != std::string::npos || (!document.empty() && path == document)) {
    ReportHeaderIsDocument(document, path == document, errors);
    return;
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    bool writable = true;
    const int fd = OpenHeader(path, writable);
    if (fd >= 0 && !document.empty() && IsTheDocument(document, fd)) {
      close(fd);
      ReportHeaderIsDocument(document, false, errors);
      return;
    }
    if (fd >= 0) {
      UpdateHeader(fd, path, value, writable, warnings, errors);
      close(fd);
      return;
    }
    if (errno != ENOENT) break;
    // A missing header is new: an empty line, then the key line. The name
    // scanned differs from the path only for a path without the extension.
    const std::string scan_name = ChangeFileExt(path, "hdr");
    const ScanResult scan = scan_name == path ? ScanResult::kNeedsBreak : ScanHeader(scan_name);
    if (scan == ScanResult::kHasKey) {
      WarnAlreadyUpgraded(path, warnings);
      return;
    }
    if (scan == ScanResult::kUnreadable) break;
    switch (CreateHeader(path, KeyAddition(scan, value))) {
      case Creation::kCreated: return;
      case Creation::kTaken: continue;  // the header another run made is updated
      case Creation::kUnwritten: ReportError(messages::kErrorWritingFile, path, errors); return;
      case Creation::kUnopened: break;
    }
    break;
  }
  ReportError(messages::kErrorOpeningFile, path, errors);
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

HeaderKeys KeysOfHeaders(const std::vector<std::string>& documents) {
  std::map<std::string, std::string> directories;
  HeaderKeys keys;
  keys.documents.reserve(documents.size());
  keys.headers.reserve(documents.size());
  for (const std::string& document : documents) {
    keys.documents.push_back(FileKey(document, directories));
    keys.headers.push_back(FileKey(ChangeFileExt(document, "hdr"), directories));
  }
  return keys;
}

std::vector<bool> PrivateHeaders(const HeaderKeys& keys) {
  std::map<std::string, int> uses;
  for (const std::string& header : keys.headers) ++uses[header];
  for (const std::string& document : keys.documents) {
    auto use = uses.find(document);
    if (use != uses.end()) ++use->second;
  }
  std::vector<bool> private_header(keys.headers.size());
  for (size_t i = 0; i < keys.headers.size(); ++i) private_header[i] = uses[keys.headers[i]] == 1;
  return private_header;
}

std::vector<size_t> ReadAfterHeaders(const HeaderKeys& keys) {
  // A file: one more than the last document so far whose header it is.
  std::map<std::string, size_t> last_with_header;
  std::vector<size_t> after(keys.documents.size(), 0);
  for (size_t i = 0; i < keys.documents.size(); ++i) {
    auto named = last_with_header.find(keys.documents[i]);
    if (named != last_with_header.end()) after[i] = named->second;
    last_with_header[keys.headers[i]] = i + 1;
  }
  return after;
}
