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

inline std::string RunToolIn(const std::string& dir, std::vector<std::string> args) {
  args.insert(args.begin(), "tessel");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  const std::filesystem::path home = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const CommandLine line = ParseOptions(static_cast<int>(argv.size()), argv.data());
  if (line.command == Command::kRun) RunDriver(line.run);
  testing::internal::GetCapturedStderr();
  std::string out = testing::internal::GetCapturedStdout();
  std::filesystem::current_path(home);
  return out;
}
