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

// Never through a link, and never waiting for a FIFO's reader.
bool WriteMarker(const std::string& path) {
  int fd;
  struct stat info;
  if (OpenRegularFile(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, fd, info, 0666) !=
      FileCheck::kRegular)
    return false;
  bool ok = WriteAll(fd, kMarkerText, sizeof kMarkerText - 1) && fsync(fd) == 0;
  return close(fd) == 0 && ok;
}

}  // namespace

bool WriteSaveMarkers(const std::vector<std::string>& directories, std::string& failed) {
  for (size_t i = 0; i < directories.size(); ++i) {
    if (WriteMarker(MarkerIn(directories[i]))) {
      SyncDirectory(directories[i]);
      continue;
    }
    failed = MarkerIn(directories[i]);
    RemoveSaveMarkers(std::vector<std::string>(directories.begin(), directories.begin() + i));
    return false;
  }
  return true;
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
