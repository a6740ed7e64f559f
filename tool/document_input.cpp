#include "tool/document_input.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <vector>

#include "core/document.h"
#include "core/messages.h"
#include "core/shingle_shift.h"
#include "tool/file_list.h"

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

// Starts program path with output and errors to the pipes; 0 or the error.
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
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::string program_arg = program, path_arg = path;
  char* argv[] = {program_arg.data(), path_arg.data(), nullptr};
  const int error = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

// Reads both pipes to their ends: output to words, errors to messages.
void Drain(Pipe& output, Pipe& errors, TextWords& words, std::ostream& messages) {
  std::vector<char> chunk(1 << 16);
  pollfd ends[2] = {{output.read_end, POLLIN, 0}, {errors.read_end, POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (poll(ends, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (pollfd& end : ends) {
      if (end.fd < 0 || end.revents == 0) continue;
      const ssize_t got = read(end.fd, chunk.data(), chunk.size());
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        end.fd = -1;  // poll skips it from now on
        --open;
      } else if (end.fd == output.read_end) {
        words.Feed(chunk.data(), static_cast<size_t>(got));
      } else {
        messages.write(chunk.data(), got);
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

}  // namespace

DocumentReading ReadingOf(const RunSettings& settings) {
  return DocumentReading{settings.Preprocessor, settings.JudgeBinary};
}

bool ReadThroughProgram(const std::string& program, const std::string& path, TextWords& words,
                        std::ostream& messages) {
  const std::string name = PrintableName(path);
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
  Drain(output, errors, words, messages);
  words.Finish();
  const int status = WaitFor(pid);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  messages << name << messages::kProgramFailed << program;
  if (WIFEXITED(status))
    messages << " exited with status " << WEXITSTATUS(status) << "\n";
  else
    messages << " was killed by signal " << WTERMSIG(status) << "\n";
  return false;
}

DocumentRead ReadDataFile(const std::string& name, const DocumentReading& how, int builds,
                          TextWords& words, std::ostream& messages) {
  if (!ShiftUsableFor(builds, words.shift(), messages)) return DocumentRead::kFailed;
  if (!how.judge_binary) words.StopIfBinary();
  if (!how.preprocessor.empty()) {
    if (!ReadThroughProgram(how.preprocessor, name, words, messages)) return DocumentRead::kFailed;
  } else if (const int error = words.ReadFile(name, 0, messages); error != 0) {
    // What each build would have written, as perror(name) writes it.
    for (int i = 0; i < builds; ++i)
      messages << PrintableName(name) << ": " << SystemMessage(error) << "\n";
    return DocumentRead::kFailed;
  }
  if (words.binary() && !how.judge_binary) {
    messages << PrintableName(name) << messages::kBinaryDocument;
    return DocumentRead::kBinary;
  }
  return DocumentRead::kRead;
}
