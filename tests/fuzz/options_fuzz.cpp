// The option parser on a fuzzed argument vector (arguments separated by NUL
// bytes). Parsing runs nothing (-x, -z and -h are returned as commands) and
// returns a value, so every vector is parsed twice and must give the same
// command and settings: getopt's state is reset per call. It runs in a
// private directory all the same, in case an option ever acts while parsing.
#include <getopt.h>

#include "support/run_tool.h"
#include "support/test_support.h"
#include "tool/options.h"

namespace {

auto Fields(const CommandLine& line) {
  const RunSettings& s = line.run;
  const TextOptions& t = s.options.text;
  const ScoringOptions& o = s.options.scoring;
  const lm::Settings& lm = o.lm;
  return std::tie(line.command, line.SweepText, line.ExitStatus, s.files.ProtectedFiles,
                  s.files.UnprotectedFiles, s.files.DataFiles, s.files.DataList,
                  s.files.ProtectedList, s.files.UnprotectedList, s.files.NullSeparated,
                  s.model.StopwordFile, s.model.FromFile, s.model.SaveProtected,
                  s.model.EncodingGiven, s.judging.reading.preprocessor,
                  s.judging.reading.judge_binary, s.judging.reading.timeout, s.judging.Json,
                  s.judging.NoHeaders, s.judging.Sources, s.judging.TitleFile, s.robust.Robust,
                  s.robust.Threshold, s.Subtract, s.Jobs, t.shingle_length, t.shingle_shift,
                  t.encoding, t.upper_case, o.formula, o.max_threshold, o.size_threshold,
                  o.exclusive_pairs, lm.threshold_1, lm.threshold_2, lm.length, lm.lambda,
                  lm.lambda0, lm.factor, lm.log, lm.detailed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Relative names (-z tables, -v models) land in the private directory;
  // scripts/fuzz.sh passes absolute corpus paths, so the change is harmless.
  static const bool entered = chdir(FuzzWorkDir()) == 0;
  if (!entered) abort();
  opterr = 0;  // getopt's own diagnostics would only flood the log
  std::vector<std::string> args{""};
  for (size_t i = 0; i < size && args.size() < 64; ++i)
    data[i] == 0 ? args.emplace_back() : args.back() += static_cast<char>(data[i]);
  if (args.back().empty()) args.pop_back();
  const CommandLine first = Parsed(args);
  const CommandLine second = Parsed(args);
  if (Fields(first) != Fields(second)) abort();
  return 0;
}
