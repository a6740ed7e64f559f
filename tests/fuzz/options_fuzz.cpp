// The option parser on a fuzzed argument vector (arguments separated by NUL
// bytes). It runs in a private directory with standard input at /dev/null,
// since -x reads standard input and -z writes result tables. Parsing the same
// vector twice must give the same settings: getopt's state is reset per call.
#include <getopt.h>
#include <unistd.h>

#include <vector>

#include "core/settings.h"
#include "core/shingle.h"
#include "fuzz_support.h"
#include "tool/options.h"

namespace {

struct Globals {
  double t1 = lm_threshold_1, t2 = lm_threshold_2, lambda = lm_lambda, lambda0 = lm_lambda0,
         factor = lm_factor;
  int32_t length = lm_length, shingle_length = CShingle::shingle_length,
          shingle_shift = CShingle::shingle_shift;
  bool log = lm_log, sub = lm_sub, upper = UpperCase, detailed = Detailed, all = DetailedAll;

  void Restore() const {
    lm_threshold_1 = t1, lm_threshold_2 = t2, lm_lambda = lambda, lm_lambda0 = lambda0;
    lm_factor = factor, lm_length = length, CShingle::shingle_length = shingle_length;
    CShingle::shingle_shift = shingle_shift, lm_log = log, lm_sub = sub, UpperCase = upper;
    Detailed = detailed, DetailedAll = all;
  }
};

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
  static const Globals defaults;
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
  OptionOutcome outcome = Parse(args, first);
  defaults.Restore();
  if (outcome == OptionOutcome::kRunDriver) {
    if (Parse(args, second) != outcome || !Same(first, second)) abort();
    defaults.Restore();
  }
  return 0;
}
