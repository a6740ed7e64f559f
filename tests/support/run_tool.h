// Runs the tool's option parsing and driver in-process, in a directory, as
// the program would run there; returns what it wrote to standard output.
// Only a run of the driver runs (not -h, -x, -z or --version).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tool/driver.h"
#include "tool/options.h"

// The tool's command line of the arguments given (after the program's name).
inline CommandLine Parsed(std::vector<std::string> args) {
  args.insert(args.begin(), "tessel");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return ParseOptions(static_cast<int>(args.size()), argv.data());
}

inline std::string RunToolIn(const std::string& dir, const std::vector<std::string>& args) {
  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const CommandLine line = Parsed(args);
  if (line.command == Command::kRun) RunDriver(line.run);
  testing::internal::GetCapturedStderr();
  std::string out = testing::internal::GetCapturedStdout();
  std::filesystem::current_path(home);
  return out;
}
