#include "core/save_marker.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


#include "core/file_io.h"
#include "core/messages.h"

namespace {

constexpr char kMarkerText[] = "a save of the model files in this directory has not finished\n";

std::string MarkerIn(const std::string& directory) { return directory + "/" + kSaveMarker; }

std::vector<std::string> DirectoriesOf(const std::vector<std::string>& files) {
  std::vector<std::string> directories;
  for (const std::string& file : files) directories.push_back(DirectoryOf(FollowLinks(file)));
  return directories;
}

void SyncDirectory(const std::string& directory) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// Never through a link, and never waiting for a FIFO's reader: only a
// regular file is written.
bool WriteMarker(const std::string& path, FileSystem& fs) {
  const int fd =
      fs.Open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat info;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            fs.WriteAll(fd, kMarkerText, sizeof kMarkerText - 1) && fs.Sync(fd) == 0;
  return close(fd) == 0 && ok;
}

}  // namespace

Status WriteSaveMarkers(const std::vector<std::string>& directories, FileSystem& fs) {
  std::vector<std::string> created;  // the directories whose marker this save made
  for (const std::string& directory : directories) {
    const std::string marker = MarkerIn(directory);
    struct stat info;
    if (lstat(marker.c_str(), &info) != 0) created.push_back(directory);
    if (WriteMarker(marker, fs)) {
      SyncDirectory(directory);
      continue;
    }
    // The files are all still the old ones, so the markers this save made
    // go; one an earlier, unfinished save left stays whatever happens here.
    RemoveSaveMarkers(created);
    return Status(StatusCode::kIoError, messages::kErrorWritingFile + marker);
  }
  return Status();
}

void RemoveSaveMarkers(const std::vector<std::string>& directories) {
  for (const std::string& directory : directories) {
    unlink(MarkerIn(directory).c_str());
    SyncDirectory(directory);
  }
}

// The markers are looked for under the locks: a save that is still running
// removes its markers before it lets the directories go.
ModelReadLock::ModelReadLock(const std::vector<std::string>& files)
    : directories_(DirectoriesOf(files)), locks_(directories_, true) {
  for (const std::string& directory : directories_) {
    struct stat info;
    if (lstat(MarkerIn(directory).c_str(), &info) != 0) continue;
    unfinished_ = directory;
    return;
  }
}

Status ModelReadLock::Check() const {
  if (unfinished_.empty()) return Status();
  return Status(StatusCode::kIncompleteSave,
                messages::kUnfinishedSavePrefix + unfinished_ + messages::kUnfinishedSaveSuffix);
}
