// The option parser on a fuzzed argument vector (arguments separated by NUL
// bytes). It runs in a private directory with standard input at /dev/null,
// since -x reads standard input and -z writes result tables. Parsing the same
// vector twice must give the same settings: getopt's state is reset per call.
#include <getopt.h>
#include <unistd.h>

#include <vector>

#include "core/settings.h"
#include "core/shingle.h"
#include "support/test_support.h"
#include "tool/options.h"

namespace {

bool Same(const RunSettings& a, const RunSettings& b) {
  return a.ProtectedFiles == b.ProtectedFiles && a.UnprotectedFiles == b.UnprotectedFiles &&
         a.DataFiles == b.DataFiles && a.StopwordFile == b.StopwordFile &&
         a.LmFormula == b.LmFormula && a.MaxThreshold == b.MaxThreshold &&
         a.SizeThreshold == b.SizeThreshold && a.FromFile == b.FromFile &&
         a.SaveProtected == b.SaveProtected && a.Subtract == b.Subtract;
}

OptionOutcome Parse(std::vector<std::string> args, RunSettings& settings) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return ParseOptions(static_cast<int>(args.size()), argv.data(), settings);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Relative names (-z tables, -v models) land in the private directory;
  // scripts/fuzz.sh passes absolute corpus paths, so the change is harmless.
  static const bool entered = chdir(FuzzWorkDir()) == 0;
  if (!entered) abort();
  opterr = 0;  // getopt's own diagnostics would only flood the log
  std::vector<std::string> args{"tessel"};
  std::string current;
  for (size_t i = 0; i < size && args.size() < 64; ++i) {
    if (data[i] == 0) {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty()) args.push_back(current);

  RunSettings first, second;
  SettingsGuard guard;
  OptionOutcome outcome = Parse(args, first);
  if (outcome == OptionOutcome::kRunDriver) {
    SettingsGuard again;
    if (Parse(args, second) != outcome || !Same(first, second)) abort();
  }
  return 0;
}
