#include "core/program_input.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <ostream>
#include <string_view>
#include <vector>

#include "core/messages.h"

extern char** environ;

namespace {

std::string SystemMessage(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

// A pipe whose ends are closed in every program started meanwhile, so that
// documents read at once on several threads never hold each other's pipes
// open.
struct Pipe {
  int read_end = -1, write_end = -1;
  bool Open() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    read_end = ends[0], write_end = ends[1];
    return true;
  }
  void CloseWriteEnd() {
    if (write_end >= 0) close(write_end);
    write_end = -1;
  }
  ~Pipe() {
    CloseWriteEnd();
    if (read_end >= 0) close(read_end);
  }
};

// Starts program path with output and errors to the pipes, in a process
// group of its own so that it can be stopped with whatever it started; 0 or
// the error.
int Start(const std::string& program, const std::string& path, const Pipe& output,
          const Pipe& errors, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return ENOMEM;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, output.write_end, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errors.write_end, STDERR_FILENO);
  // The program starts with default signal handling, whatever this process changed.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  std::string program_arg = program, path_arg = path;
  char* argv[] = {program_arg.data(), path_arg.data(), nullptr};
  const int error = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

// What a program writes to standard error is passed on, but only its last
// kKeptErrors bytes are held: a program may write without end.
constexpr size_t kKeptErrors = 4096;

class ErrorTail {
 public:
  void Add(const char* data, size_t size) {
    text_.append(data, size);
    if (text_.size() > 2 * kKeptErrors) DropFront(text_.size() - kKeptErrors);
  }
  // Each line kept as "NAME: warning: LINE" (empty lines left out), after a
  // note of what was dropped; a line cut by the dropping is dropped whole.
  void WriteAsWarnings(const std::string& name, const std::string& program,
                       std::ostream& messages) {
    if (text_.size() > kKeptErrors) DropFront(text_.size() - kKeptErrors);
    if (dropped_ > 0) {
      const size_t line_end = text_.find('\n');
      if (!dropped_line_end_ && line_end != std::string::npos) DropFront(line_end + 1);
      messages << name << messages::kProgramWarning << messages::kProgramErrorsDropped << dropped_
               << messages::kProgramErrorsDroppedMiddle << program
               << messages::kProgramErrorsDroppedEnd;
    }
    size_t begin = 0;
    const std::string_view text = text_;
    while (begin < text.size()) {
      size_t end = text.find('\n', begin);
      if (end == std::string_view::npos) end = text.size();
      if (end > begin)
        messages << name << messages::kProgramWarning << text.substr(begin, end - begin) << "\n";
      begin = end + 1;
    }
  }

 private:
  void DropFront(size_t count) {
    dropped_line_end_ = text_[count - 1] == '\n';
    text_.erase(0, count);
    dropped_ += count;
  }
  std::string text_;
  uint64_t dropped_ = 0;
  bool dropped_line_end_ = false;  // the bytes dropped end a line
};

// How reading a program's output ended.
enum class Ending {
  kEnded,     // both pipes ended and the program exited
  kTimedOut,  // the time allowed ran out first
  kHeld,      // the program exited, but something it left holds a pipe open
  kFailed,    // poll failed (errno says why)
};

// Where the system cannot signal the program's exit through a descriptor,
// it is looked for at growing intervals up to kExitCheckMs. Once it has
// exited, output that stays quiet kQuietAfterExitMs is no longer waited for.
constexpr int kExitCheckMs = 50;
constexpr int kQuietAfterExitMs = 200;

// A descriptor that becomes readable when the program exits (a pidfd), or -1.
struct ExitWatch {
  int fd = -1;
  explicit ExitWatch(pid_t pid) {
#ifdef SYS_pidfd_open
    fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
#endif
  }
  ~ExitWatch() {
    if (fd >= 0) close(fd);
  }
  ExitWatch(const ExitWatch&) = delete;
  ExitWatch& operator=(const ExitWatch&) = delete;
};

// Whether the program has exited, leaving it unreaped: its process group
// then cannot be taken by another process while it may still be signalled.
bool HasExited(pid_t pid) {
  siginfo_t info{};
  while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) < 0) {
    if (errno != EINTR) return true;  // nothing left to wait for
  }
  return info.si_pid != 0;
}

double SecondsNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Reads both pipes, output to words and errors to the tail, until both end
// and the program has exited, or the timeout (seconds; 0: none) runs out.
Ending Drain(pid_t pid, double timeout, Pipe& output, Pipe& errors, TextWords& words,
             ErrorTail& tail) {
  const double deadline = timeout > 0 ? SecondsNow() + timeout : 0;
  const ExitWatch watch(pid);
  std::vector<char> chunk(1 << 16);
  pollfd ends[3] = {
      {output.read_end, POLLIN, 0}, {errors.read_end, POLLIN, 0}, {watch.fd, POLLIN, 0}};
  int open = 2, check_ms = 1;
  bool exited = false;
  for (;;) {
    if (!exited) exited = HasExited(pid);
    if (exited) ends[2].fd = -1;
    if (open == 0 && exited) return Ending::kEnded;
    int wait_ms = -1;
    if (exited) {
      wait_ms = kQuietAfterExitMs;
    } else if (watch.fd < 0) {
      wait_ms = check_ms;
      check_ms = std::min(2 * check_ms, kExitCheckMs);
    }
    if (deadline > 0) {
      const double left = deadline - SecondsNow();
      if (left <= 0) return Ending::kTimedOut;
      if (wait_ms < 0 || left * 1000 < wait_ms) wait_ms = static_cast<int>(left * 1000) + 1;
    }
    const int ready = poll(ends, 3, wait_ms);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return Ending::kFailed;
    }
    if (ready == 0 && exited && wait_ms == kQuietAfterExitMs) return Ending::kHeld;
    for (pollfd& end : ends) {
      if (end.fd < 0 || end.fd == watch.fd || end.revents == 0) continue;
      const ssize_t got = read(end.fd, chunk.data(), chunk.size());
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        end.fd = -1;  // poll skips it from now on
        --open;
      } else if (end.fd == output.read_end) {
        words.Feed(chunk.data(), static_cast<size_t>(got));
      } else {
        tail.Add(chunk.data(), static_cast<size_t>(got));
      }
    }
  }
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// A FIFO would keep the program waiting for a writer, and a device such as
// /dev/zero would feed it without end; the file's type is checked first.
// Anything that cannot be examined is left to the program to report.
bool IsGivenToProgram(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return true;
  return S_ISREG(info.st_mode) || S_ISDIR(info.st_mode);
}

}  // namespace
bool ReadThroughProgram(const std::string& program, const std::string& path,
                        const std::string& name, double timeout, TextWords& words,
                        std::ostream& messages) {
  if (!IsGivenToProgram(path)) {
    messages << name << messages::kNotGivenToProgram << program << "\n";
    return false;
  }
  Pipe output, errors;
  pid_t pid = 0;
  // A path is checked first: where the spawn cannot report a failed exec
  // (under valgrind, for one) the child would only exit with status 127.
  int error = program.find('/') != std::string::npos && access(program.c_str(), X_OK) != 0 ? errno : 0;
  if (error == 0 && !(output.Open() && errors.Open())) error = errno;
  if (error == 0) error = Start(program, path, output, errors, pid);
  if (error != 0) {
    messages << name << messages::kCannotRunProgram << program << ": " << SystemMessage(error)
             << "\n";
    return false;
  }
  output.CloseWriteEnd();
  errors.CloseWriteEnd();
  ErrorTail tail;
  const Ending ending = Drain(pid, timeout, output, errors, words, tail);
  const int poll_error = errno;
  words.Finish();
  // The group goes with the program when it ran out of time, and whatever
  // it left running goes when that holds its output.
  if (ending != Ending::kEnded) kill(-pid, SIGKILL);
  const int status = WaitFor(pid);
  tail.WriteAsWarnings(name, program, messages);
  if (ending == Ending::kHeld)
    messages << name << messages::kProgramWarning << program << messages::kProgramLeftProcess;
  if (ending == Ending::kTimedOut) {
    messages << name << messages::kProgramFailed << program << messages::kProgramTimedOut
             << timeout << "\n";
    return false;
  }
  if (ending == Ending::kFailed) {
    messages << name << messages::kProgramUnread << program << ": " << SystemMessage(poll_error)
             << "\n";
    return false;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  messages << name << messages::kProgramFailed << program;
  if (WIFEXITED(status))
    messages << " exited with status " << WEXITSTATUS(status) << "\n";
  else
    messages << " was killed by signal " << WTERMSIG(status) << "\n";
  return false;
}

std::string_view LastLine(std::string_view messages) {
  messages = messages.substr(0, messages.find_last_not_of('\n') + 1);
  return messages.substr(messages.rfind('\n') + 1);
}
