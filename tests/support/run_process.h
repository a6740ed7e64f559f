// Runs a program to completion and captures what it wrote.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// argv[0] is the program path. cwd empty keeps the current directory.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& cwd = "",
                         const std::string& input = "");
// Runs the built tessel program with the given arguments.
ProcessResult RunTessel(const std::vector<std::string>& args, const std::string& cwd = "",
                        const std::string& input = "");
