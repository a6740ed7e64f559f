// Crash-safe saving of set files: each file replaced whole, the files of a
// model all or none.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/status.h"

// Writes a file so that a failure or a crash leaves either the old file or the
// complete new one. Data goes to an unnamed temporary file in the target's
// directory (a named one where the file system has none), so a killed save
// leaves nothing behind; once written and synced it gets a temporary name and
// is renamed over the target. A symbolic link is followed, also a dangling
// one. Special files that exist (devices, pipes) are written in place.
class SafeFileWriter {
 public:
  SafeFileWriter() = default;
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;
  ~SafeFileWriter();

  // Every later step goes through fs.
  bool Open(const std::string& path, FileSystem& fs = FileSystem::Default());
  bool Write(const void* data, size_t size);
  // Finish, Name and Place; false when any step failed (the target is then
  // left as it was).
  bool Commit();
  // Flushes everything written and lets the disk start on it without
  // waiting, so that several files are written out together; false when any
  // write failed.
  bool StartWriteback();
  // Flushes and syncs everything written; false when any write failed.
  bool Finish();
  // Gives the finished temporary file a name beside the target (until then
  // a killed process leaves nothing behind).
  bool Name();
  // Renames the named file over the target.
  bool Place();
  // The directory of the file that is replaced.
  std::string directory() const;
  // Whether the target is written where it is (a device or a pipe) rather
  // than replaced by a rename.
  bool in_place() const { return in_place_; }

 private:
  bool OpenInPlace();
  bool OpenTemporary(int keep_mode);
  bool Flush();
  void Abandon();

  FileSystem* fs_ = &FileSystem::Default();
  std::string target_;
  std::string temp_;  // the temporary file's name; empty while it has none
  std::vector<char> buffer_;
  int fd_ = -1;
  bool in_place_ = false;
  bool finished_ = false;
  bool failed_ = false;
};

// Removes the temporary files of the target left by saves that were killed
// after naming them (or anywhere where the file system offers no unnamed
// temporary files): those whose owner process is gone. Saving the target
// does this itself.
void RemoveAbandonedTemporaries(const std::string& target);

// A part of a file's bytes.
struct FilePiece {
  const void* data;
  size_t bytes;
};

// One file of a model: its name and its bytes (a set file's records, in
// digest order, or the model's description). A file whose parts lie apart
// in memory (the chains file) gives them as pieces, written in order
// without being joined first; its bytes are then their total and data is
// not read.
struct SetFileContent {
  std::string name;
  const void* data;
  size_t bytes;
  std::vector<FilePiece> pieces = {};
};

// Saves the files of a model all or none: every file is written and synced
// to a temporary file first, and they replace the old files only when all
// succeeded. Each failure is written to `messages` as "Error opening file: "
// or "Error writing file: " with the name. Saves into one directory are serialised by
// an advisory lock on it, so concurrent saves never leave a mixed model.
// Where more than one file is renamed, the save marker stands in their
// directories from before the first rename until after the last, and stays
// when a rename fails, so that no reader takes a half-replaced model.
// The files are written on up to `threads` threads, through fs. The first
// failure is returned too: an I/O error while the old files are all still in
// place, an incomplete save once a rename failed.
Status SaveSetFilesTogether(const std::vector<SetFileContent>& files, std::ostream& messages,
                            size_t threads = 1, FileSystem& fs = FileSystem::Default());
