#include "run_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "temp_dir.h"

namespace {

void RedirectOrDie(const std::string& path, int target_fd, int flags) {
  int fd = open(path.c_str(), flags, 0600);
  if (fd < 0 || dup2(fd, target_fd) < 0) _exit(127);
  close(fd);
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& cwd,
                         const std::string& input) {
  // Files instead of pipes: no deadlock whatever the program writes.
  TempDir io;
  const std::string in_path = io.path() + "/in", out_path = io.path() + "/out",
                    err_path = io.path() + "/err";
  WriteFile(in_path, input);
  pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    RedirectOrDie(in_path, 0, O_RDONLY);
    RedirectOrDie(out_path, 1, O_WRONLY | O_CREAT | O_TRUNC);
    RedirectOrDie(err_path, 2, O_WRONLY | O_CREAT | O_TRUNC);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  ProcessResult result;
  int wait_status = 0;
  if (pid > 0 && waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status))
    result.status = WEXITSTATUS(wait_status);
  result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

ProcessResult RunTessel(const std::vector<std::string>& args, const std::string& cwd,
                        const std::string& input) {
  std::vector<std::string> argv{TESSEL_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProcess(argv, cwd, input);
}
