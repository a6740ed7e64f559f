// Reloads a service's model when its directory changes, seen through
// inotify: a retraining saved into the served directory, or a new directory
// renamed into its place. A save writes several files, so the reload waits
// until the directory has been quiet for a moment and no save is under way.
#pragma once

#include <string>
#include <thread>

#include "serve/service.h"

namespace tessel::serve {

class ModelWatch {
 public:
  explicit ModelWatch(Service& service);
  ~ModelWatch();  // stops watching
  ModelWatch(const ModelWatch&) = delete;
  ModelWatch& operator=(const ModelWatch&) = delete;

  // Starts watching the configured model directory and its parent; false
  // with a message when inotify cannot watch them.
  bool Start(std::string* error);

 private:
  void Run();
  void WatchDirectory();

  Service& service_;
  std::string directory_, parent_, base_;
  int inotify_ = -1;
  int stop_pipe_[2] = {-1, -1};
  int directory_watch_ = -1;
  int parent_watch_ = -1;
  std::thread thread_;
};

}  // namespace tessel::serve
