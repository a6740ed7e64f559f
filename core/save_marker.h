// A save that replaces several set files renames them one after another. A
// marker file beside them, written and synced before the first rename and
// removed after the last, tells every later reader that the files may not
// belong together when the save was cut off in between (killed, a failed
// rename, a crash of the machine).
#pragma once

#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/file_system.h"
#include "core/status.h"

inline constexpr char kSaveMarker[] = "tessel.saving";

// Writes and syncs the marker in each directory through fs. An I/O error
// naming the marker when one cannot be written ("Error writing file: " and
// its path); the markers already written are then removed.
Status WriteSaveMarkers(const std::vector<std::string>& directories,
                        FileSystem& fs = FileSystem::Default());
// Removes the markers and syncs the directories.
void RemoveSaveMarkers(const std::vector<std::string>& directories);

// Shared locks on the directories holding a model's files (where saving,
// which follows links, renames them), taken before the files are opened, so
// that a save in progress places all its files first and none of them is
// replaced while the model is read.
class ModelReadLock {
 public:
  explicit ModelReadLock(const std::vector<std::string>& files);
  // An incomplete save, naming the directory, when a save into one of the
  // directories did not finish.
  Status Check() const;

 private:
  std::vector<std::string> directories_;
  DirectoryLocks locks_;
  std::string unfinished_;  // the first directory holding a marker
};
