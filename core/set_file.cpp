#include "core/set_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <numeric>
#include <ostream>

#include "core/digest.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/ordered_run.h"
#include "core/save_marker.h"

namespace {

constexpr size_t kRecordsPerBlock = 4096;
constexpr size_t kBlockBytes = kRecordsPerBlock * kDigestSize;

constexpr char kTempMarker[] = ".tmp";
constexpr int kNameAttempts = 100;

// Six letters or digits that differ from call to call and process to process;
// a name taken already is simply tried again.
std::string RandomSuffix() {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static uint64_t counter = 0;
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t bits = (static_cast<uint64_t>(now.tv_nsec) << 20) ^ static_cast<uint64_t>(now.tv_sec) ^
                  (static_cast<uint64_t>(getpid()) << 40) ^ (++counter * 0x9e3779b97f4a7c15ULL);
  std::string suffix;
  for (int i = 0; i < 6; ++i, bits /= 62) suffix += kChars[bits % 62];
  return suffix;
}

// ".NAME.tmp" followed by the owner's process id, a dot and six characters:
// the process id tells a later save whether the owner is gone.
std::string TempName(const std::string& target) {
  return DirectoryOf(target) + "/." + BaseOf(target) + kTempMarker + std::to_string(getpid()) +
         "." + RandomSuffix();
}

// The owner's process id of a temporary file of the target, or 0 when the
// name is not one.
pid_t TempOwner(const std::string& entry, const std::string& base) {
  const std::string prefix = "." + base + kTempMarker;
  if (entry.compare(0, prefix.size(), prefix) != 0) return 0;
  const char* digits = entry.c_str() + prefix.size();
  char* end = nullptr;
  long pid = std::strtol(digits, &end, 10);
  if (end == digits || *end != '.' || std::strlen(end + 1) != 6 || pid <= 0) return 0;
  return static_cast<pid_t>(pid);
}

// A temporary file whose owner is gone: no such process here, and no one
// holds the lock its owner takes (which covers owners on other machines).
bool IsAbandoned(const std::string& path, pid_t owner) {
  if (kill(owner, 0) == 0 || errno != ESRCH) return false;
  int fd = OpenWithoutWaiting(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  bool free = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd);
  return free;
}

}  // namespace

void RemoveAbandonedTemporaries(const std::string& target) {
  const std::string directory = DirectoryOf(target), base = BaseOf(target);
  DIR* listing = opendir(directory.c_str());
  if (listing == nullptr) return;
  while (const struct dirent* entry = readdir(listing)) {
    pid_t owner = TempOwner(entry->d_name, base);
    const std::string path = directory + "/" + entry->d_name;
    if (owner != 0 && IsAbandoned(path, owner)) unlink(path.c_str());
  }
  closedir(listing);
}

namespace {

// Gives an unnamed temporary file a name beside the target.
bool LinkUnnamed(FileSystem& fs, int fd, const std::string& target, std::string& name) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = TempName(target);
    if (fs.LinkUnnamed(fd, name) == 0) return true;
    if (errno != EEXIST) break;
  }
  name.clear();
  return false;
}

int CreateNamed(FileSystem& fs, const std::string& target, std::string& name) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = TempName(target);
    int fd = fs.Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  name.clear();
  return -1;
}

}  // namespace

SafeFileWriter::~SafeFileWriter() { Abandon(); }

bool SafeFileWriter::Open(const std::string& path, FileSystem& fs) {
  fs_ = &fs;
  target_ = FollowLinks(path);
  if (target_.empty()) return false;  // a loop of links
  struct stat info;
  bool exists = stat(target_.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) return false;
  if (exists && !S_ISREG(info.st_mode)) return OpenInPlace();
  return OpenTemporary(exists ? static_cast<int>(info.st_mode & 07777) : -1);
}

std::string SafeFileWriter::directory() const { return DirectoryOf(target_); }

// Devices and pipes cannot be replaced by a rename; they are written
// directly. A pipe with no reader is refused instead of waited for.
bool SafeFileWriter::OpenInPlace() {
  in_place_ = true;
  fd_ = OpenWithoutWaiting(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  return fd_ >= 0;
}

// Mode 0666 lets the kernel apply the umask; a replaced file's mode is kept.
bool SafeFileWriter::OpenTemporary(int keep_mode) {
  RemoveAbandonedTemporaries(target_);
  // An unnamed file can be named later through /proc (or, for root, by its
  // descriptor alone); without either it could never be placed.
  if (access("/proc/self/fd", X_OK) == 0 || geteuid() == 0)
    fd_ = fs_->Open(directory().c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ < 0) fd_ = CreateNamed(*fs_, target_, temp_);
  if (fd_ < 0) return false;
  if (keep_mode >= 0) fchmod(fd_, static_cast<mode_t>(keep_mode));
  // Held until the file is placed or abandoned: it tells other saves that
  // the temporary file is still in use.
  flock(fd_, LOCK_EX | LOCK_NB);
  return true;
}

bool SafeFileWriter::Write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return false;
  const char* bytes = static_cast<const char*>(data);
  if (size >= kBlockBytes) {  // whole blocks need no copy; what is buffered goes first
    if (!buffer_.empty() && !Flush()) return false;
    if (!fs_->WriteAll(fd_, bytes, size)) failed_ = true;
    return !failed_;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
  if (buffer_.size() >= kBlockBytes) return Flush();
  return true;
}

bool SafeFileWriter::Flush() {
  if (!failed_ && !fs_->WriteAll(fd_, buffer_.data(), buffer_.size())) failed_ = true;
  buffer_.clear();
  return !failed_;
}

bool SafeFileWriter::StartWriteback() {
  if (fd_ < 0 || !Flush()) return false;
  // Only a hint: Finish's fsync waits for the data and reports its errors.
  if (!in_place_) sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
  return true;
}

bool SafeFileWriter::Finish() {
  if (fd_ < 0 || !Flush()) return false;
  if (!in_place_ && fs_->Sync(fd_) != 0) return false;
  return finished_ = true;
}

bool SafeFileWriter::Name() {
  if (!finished_) return false;
  return in_place_ || !temp_.empty() || LinkUnnamed(*fs_, fd_, target_, temp_);
}

bool SafeFileWriter::Place() {
  if (!finished_ || (!in_place_ && temp_.empty())) return false;
  bool ok = in_place_ || fs_->Rename(temp_.c_str(), target_.c_str()) == 0;
  if (ok) temp_.clear();
  if (close(fd_) != 0 && in_place_) ok = false;  // a device may report a late error here
  fd_ = -1;
  finished_ = false;
  return ok;
}

bool SafeFileWriter::Commit() {
  bool ok = Finish() && Name() && Place();
  Abandon();
  return ok;
}

void SafeFileWriter::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  finished_ = false;
}

namespace {

// Runs one step of saving on every writer and reports each failure; the
// first one as a Status of the given kind.
Status EveryWriter(bool (SafeFileWriter::*step)(), std::vector<SafeFileWriter>& writers,
                   const std::vector<SetFileContent>& files, std::ostream& messages,
                   StatusCode kind) {
  Status first;
  for (size_t i = 0; i < writers.size(); ++i) {
    if ((writers[i].*step)()) continue;
    messages << messages::kErrorWritingFile << files[i].name << "\n";
    if (first.ok()) first = Status(kind, messages::kErrorWritingFile + files[i].name);
  }
  return first;
}

// The directories where files are renamed into place, when there is more
// than one such file: a single rename replaces a file whole and needs no
// marker.
std::vector<std::string> MarkedDirectories(const std::vector<SafeFileWriter>& writers) {
  std::vector<std::string> directories;
  size_t renamed = 0;
  for (const SafeFileWriter& writer : writers) {
    if (writer.in_place()) continue;
    ++renamed;
    const std::string directory = writer.directory();
    if (std::find(directories.begin(), directories.end(), directory) == directories.end())
      directories.push_back(directory);
  }
  return renamed > 1 ? directories : std::vector<std::string>();
}

}  // namespace

namespace {

// Writes a file's content to its temporary file and starts its writeback;
// the message of a failure, empty when there is none.
std::string WriteTemporary(const SetFileContent& file, SafeFileWriter& writer, FileSystem& fs) {
  if (!writer.Open(file.name, fs)) return messages::kErrorOpeningFile + file.name + "\n";
  bool written = true;
  if (file.pieces.empty()) written = writer.Write(file.data, file.bytes);
  for (const FilePiece& piece : file.pieces)
    written = written && writer.Write(piece.data, piece.bytes);
  if (!writer.StartWriteback() || !written) return messages::kErrorWritingFile + file.name + "\n";
  return "";
}

}  // namespace

Status SaveSetFilesTogether(const std::vector<SetFileContent>& files, std::ostream& messages,
                            size_t threads, FileSystem& fs) {
  std::vector<SafeFileWriter> writers(files.size());
  std::vector<std::string> problems(files.size());
  // Filling the page cache with a large model takes longer than syncing it,
  // so the files are written side by side, the largest first so that no
  // thread is left with a large one at the end; their messages keep file
  // order.
  std::vector<size_t> largest_first(files.size());
  std::iota(largest_first.begin(), largest_first.end(), size_t{0});
  std::stable_sort(largest_first.begin(), largest_first.end(),
                   [&](size_t a, size_t b) { return files[a].bytes > files[b].bytes; });
  RunAll(files.size(), threads, [&](size_t k) {
    const size_t i = largest_first[k];
    problems[i] = WriteTemporary(files[i], writers[i], fs);
  });
  Status failed;
  for (const std::string& problem : problems) {
    messages << problem;
    if (failed.ok() && !problem.empty())
      failed = Status(StatusCode::kIoError, problem.substr(0, problem.size() - 1));
  }
  // All files go to disk at once; each is then waited for.
  if (failed.ok())
    failed = EveryWriter(&SafeFileWriter::Finish, writers, files, messages, StatusCode::kIoError);
  if (!failed.ok()) return failed;  // the writers remove their temporary files

  std::vector<std::string> directories;
  for (const SafeFileWriter& writer : writers) directories.push_back(writer.directory());
  DirectoryLocks locks(directories);
  failed = EveryWriter(&SafeFileWriter::Name, writers, files, messages, StatusCode::kIoError);
  if (!failed.ok()) return failed;
  const std::vector<std::string> marked = MarkedDirectories(writers);
  failed = WriteSaveMarkers(marked, fs);
  if (!failed.ok()) {
    messages << failed.message() << "\n";
    return failed;
  }
  failed =
      EveryWriter(&SafeFileWriter::Place, writers, files, messages, StatusCode::kIncompleteSave);
  locks.SyncAll();
  // After a failed rename the old and new files are mixed: the markers stay.
  if (failed.ok()) RemoveSaveMarkers(marked);
  return failed;
}
