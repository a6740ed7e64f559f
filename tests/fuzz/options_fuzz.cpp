// The option parser on a fuzzed argument vector (arguments separated by NUL
// bytes). Parsing runs nothing (-x, -z and -h are returned as commands), so
// every vector is parsed twice and must give the same command and settings:
// getopt's state is reset per call. It runs in a private directory all the
// same, in case an option ever acts while parsing.
#include <getopt.h>

#include "support/test_support.h"
#include "tool/options.h"

namespace {

Command Parse(std::vector<std::string> args, RunSettings& settings) {
  SettingsGuard guard;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return ParseOptions(static_cast<int>(args.size()), argv.data(), settings);
}

auto Fields(const RunSettings& s) {
  return std::tie(s.ProtectedFiles, s.UnprotectedFiles, s.DataFiles, s.StopwordFile, s.LmFormula,
                  s.MaxThreshold, s.SizeThreshold, s.FromFile, s.SaveProtected, s.Subtract,
                  s.Jobs, s.SweepTolerance, s.Json, s.ExitStatus, s.NoHeaders, s.TitleFile,
                  s.Encoding, s.JudgeBinary, s.Preprocessor, s.DataList, s.ProtectedList,
                  s.UnprotectedList, s.NullSeparated, s.PreTimeout);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Relative names (-z tables, -v models) land in the private directory;
  // scripts/fuzz.sh passes absolute corpus paths, so the change is harmless.
  static const bool entered = chdir(FuzzWorkDir()) == 0;
  if (!entered) abort();
  opterr = 0;  // getopt's own diagnostics would only flood the log
  std::vector<std::string> args{"tessel", ""};
  for (size_t i = 0; i < size && args.size() < 65; ++i)
    data[i] == 0 ? args.emplace_back() : args.back() += static_cast<char>(data[i]);
  if (args.back().empty()) args.pop_back();
  RunSettings first, second;
  const Command command = Parse(args, first);
  if (Parse(args, second) != command || Fields(first) != Fields(second)) abort();
  return 0;
}
