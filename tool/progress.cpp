#include "tool/progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/file_io.h"

namespace {

// Redrawing more often than this only costs time on a slow terminal.
constexpr std::chrono::milliseconds kRedrawInterval(100);
constexpr char kClearLine[] = "\r\033[K";

// Progress is a courtesy: a failed write never fails the run.
void WriteText(int fd, const std::string& text) { WriteAll(fd, text.data(), text.size()); }

}  // namespace

TrainingProgress::TrainingProgress(size_t total_files, int fd)
    : total_(total_files), fd_(fd), active_(isatty(fd) == 1) {}

TrainingProgress::~TrainingProgress() {
  if (drawn_) WriteText(fd_, kClearLine);
}

void TrainingProgress::FileDone(const std::string& name) {
  ++done_;
  if (!active_) return;
  struct stat info;
  if (stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode))
    bytes_ += static_cast<uint64_t>(info.st_size);
  auto now = std::chrono::steady_clock::now();
  // The last file is always shown, so that a short run still shows its total.
  if (done_ != total_ && drawn_ && now - last_draw_ < kRedrawInterval) return;
  last_draw_ = now;
  Draw(Text());
}

std::string TrainingProgress::Text() const {
  char line[96];
  std::snprintf(line, sizeof line, "training: %zu/%zu files, %.1f MB read", done_, total_,
                static_cast<double>(bytes_) / 1e6);
  return line;
}

void TrainingProgress::Draw(const std::string& line) {
  WriteText(fd_, "\r" + line + "\033[K");
  drawn_ = true;
}
