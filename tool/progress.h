// Training progress for a person watching: files done of the total and the
// megabytes read, on one line of standard error that is overwritten in place
// and cleared at the end. Shown only when standard error is a terminal, so
// scripted output stays exactly as it was.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class TrainingProgress {
 public:
  // fd is the descriptor to draw on; nothing is drawn unless it is a terminal.
  explicit TrainingProgress(size_t total_files, int fd = 2);
  TrainingProgress(const TrainingProgress&) = delete;
  TrainingProgress& operator=(const TrainingProgress&) = delete;
  ~TrainingProgress();

  // Counts one learning file as done, with its size as read.
  void FileDone(const std::string& name);
  // The text of the line for the counts so far, e.g. "training: 3/10 files, 1.2 MB read".
  std::string Text() const;

 private:
  void Draw(const std::string& line);

  size_t total_;
  size_t done_ = 0;
  uint64_t bytes_ = 0;
  int fd_;
  bool active_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_draw_{};
};
