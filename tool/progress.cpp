#include "tool/progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Redrawing more often than this only costs time on a slow terminal.
constexpr std::chrono::milliseconds kRedrawInterval(100);
constexpr char kClearLine[] = "\r\033[K";

void WriteAll(int fd, const std::string& text) {
  const char* data = text.data();
  size_t size = text.size();
  while (size > 0) {
    ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // progress is a courtesy; never fail the run over it
    data += written;
    size -= static_cast<size_t>(written);
  }
}

}  // namespace

TrainingProgress::TrainingProgress(size_t total_files, int fd)
    : total_(total_files), fd_(fd), active_(isatty(fd) == 1) {}

TrainingProgress::~TrainingProgress() {
  if (drawn_) WriteAll(fd_, kClearLine);
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
  WriteAll(fd_, "\r" + line + "\033[K");
  drawn_ = true;
}
