#include "serve/model_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tessel::serve {
namespace {

using Clock = std::chrono::steady_clock;

// How long the directory must be quiet before the model is read, and how
// long an unfinished save (its marker present) may hold the reload back.
constexpr auto kQuiet = std::chrono::milliseconds(500);
constexpr auto kSaveWait = std::chrono::seconds(60);

// The files a saved model is made of, and the marker a save keeps beside
// them while it renames them into place; a save's temporary files and
// anything else in the directory are not the model's.
constexpr const char* kModelNames[] = {"p.bin",          "p.bin.2",       "u.bin",        "u.bin.2",
                                       "tessel.model",   "tessel.sources", "tessel.chains", "tessel.saving"};
constexpr char kSaveMarker[] = "tessel.saving";

bool IsModelName(const char* name) {
  for (const char* model_name : kModelNames)
    if (std::strcmp(name, model_name) == 0) return true;
  return false;
}

constexpr uint32_t kDirectoryEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE;
constexpr uint32_t kParentEvents = IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE | IN_ONLYDIR;

}  // namespace

ModelWatch::ModelWatch(Service& service) : service_(service) {
  directory_ = service.config().model;
  while (directory_.size() > 1 && directory_.back() == '/') directory_.pop_back();
  size_t slash = directory_.rfind('/');
  parent_ = slash == std::string::npos ? "." : slash == 0 ? "/" : directory_.substr(0, slash);
  base_ = slash == std::string::npos ? directory_ : directory_.substr(slash + 1);
}

ModelWatch::~ModelWatch() {
  if (thread_.joinable()) {
    char stop = 0;
    if (write(stop_pipe_[1], &stop, 1) < 0) {}
    thread_.join();
  }
  for (int fd : {inotify_, stop_pipe_[0], stop_pipe_[1]})
    if (fd >= 0) close(fd);
}

bool ModelWatch::Start(std::string* error) {
  inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0 || pipe2(stop_pipe_, O_CLOEXEC) != 0) {
    *error = std::string("watch_model: ") + std::strerror(errno);
    return false;
  }
  // The parent tells of a directory renamed into the model's place.
  parent_watch_ = inotify_add_watch(inotify_, parent_.c_str(), kParentEvents);
  WatchDirectory();
  if (parent_watch_ < 0 || directory_watch_ < 0) {
    *error = "watch_model: " + directory_ + ": " + std::strerror(errno);
    return false;
  }
  thread_ = std::thread(&ModelWatch::Run, this);
  return true;
}

void ModelWatch::WatchDirectory() {
  directory_watch_ = inotify_add_watch(inotify_, directory_.c_str(), kDirectoryEvents | IN_ONLYDIR);
}

void ModelWatch::Run() {
  bool pending = false;
  Clock::time_point due{}, first{};
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    int timeout = -1;
    if (pending) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
      timeout = left < 0 ? 0 : static_cast<int>(left) + 1;
    }
    pollfd fds[2] = {{inotify_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
    if (poll(fds, 2, timeout) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    bool changed = false;
    ssize_t length;
    while ((length = read(inotify_, buffer, sizeof buffer)) > 0) {
      for (char* at = buffer; at < buffer + length;) {
        auto* event = reinterpret_cast<inotify_event*>(at);
        at += sizeof(inotify_event) + event->len;
        const char* name = event->len > 0 ? event->name : "";
        if (event->mask & IN_Q_OVERFLOW) {
          changed = true;
        } else if (event->wd == parent_watch_ && base_ == name) {
          // The directory was removed, renamed away or replaced: watch the
          // one now at the path, if any.
          if (directory_watch_ >= 0) inotify_rm_watch(inotify_, directory_watch_);
          WatchDirectory();
          changed = true;
        } else if (event->wd == directory_watch_ && (event->mask & IN_IGNORED)) {
          directory_watch_ = -1;
        } else if (event->wd == directory_watch_ && IsModelName(name)) {
          changed = true;
        }
      }
    }
    auto now = Clock::now();
    if (changed) {
      if (!pending) first = now;
      pending = true;
      due = now + kQuiet;
      continue;
    }
    if (!pending || now < due) continue;
    // A save renames its files one after another between writing its
    // marker and removing it: wait for it to finish (a save that was cut
    // off leaves the marker, and the reload then reports it).
    std::string marker = directory_ + "/" + kSaveMarker;
    if (access(marker.c_str(), F_OK) == 0 && now - first < kSaveWait) {
      due = now + kQuiet;
      continue;
    }
    pending = false;
    std::string error;
    service_.Reload(&error);
  }
}

}  // namespace tessel::serve
