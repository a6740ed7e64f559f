#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

// Runs tessel with its standard streams on a pseudo-terminal; returns what it wrote.
std::string RunOnTerminal(const std::vector<std::string>& args, const std::string& cwd) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(TESSEL_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string output;
  char buffer[4096];
  ssize_t got;
  // Reading the master ends with EIO once the child has closed the terminal.
  while ((got = read(master, buffer, sizeof buffer)) > 0) output.append(buffer, got);
  close(master);
  waitpid(pid, nullptr, 0);
  return output;
}

// Shown on a terminal and cleared at the end; nothing extra elsewhere.
TEST(TrainingProgress, ShownOnlyOnATerminal) {
  TempDir dir;
  std::string big;
  for (int i = 0; i < 500000; ++i) big += "ab ";  // 1.5 MB over three files
  WriteFile(dir / "a1.txt", big);
  WriteFile(dir / "a2.txt", "");
  WriteFile(dir / "a3.txt", "");
  std::string shown = RunOnTerminal({"-p", "a*.txt"}, dir.path());
  EXPECT_NE(shown.find("\rtraining: 3/3 files, 1.5 MB read\033[K"), std::string::npos) << shown;
  const std::string clear = "\r\033[K";
  ASSERT_GE(shown.size(), clear.size());
  EXPECT_EQ(shown.substr(shown.size() - clear.size()), clear);
  ProcessResult run = RunTessel({"-p", "a*.txt", "-u", "a2.txt"}, dir.path());
  EXPECT_EQ(run.out + run.err, "");
}

}  // namespace
