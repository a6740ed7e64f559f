#include "tool/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/settings.h"
#include "core/shingle.h"

namespace {

// Parses the options (after the program name) and keeps what went to
// standard error; the process-wide settings are restored afterwards.
struct Parsed {
  RunSettings settings;
  OptionOutcome outcome;
  std::string err;
};

Parsed Parse(std::vector<std::string> args) {
  const int32_t length = CShingle::shingle_length, shift = CShingle::shingle_shift;
  const int32_t window = lm_length;
  const bool log = lm_log, detailed = Detailed, detailed_all = DetailedAll;
  args.insert(args.begin(), "tessel");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  Parsed parsed;
  testing::internal::CaptureStderr();
  parsed.outcome = ParseOptions(static_cast<int>(args.size()), argv.data(), parsed.settings);
  parsed.err = testing::internal::GetCapturedStderr();
  CShingle::shingle_length = length;
  CShingle::shingle_shift = shift;
  lm_length = window;
  lm_log = log;
  Detailed = detailed;
  DetailedAll = detailed_all;
  return parsed;
}

TEST(ParseOptions, ZeroShingleLengthKeepsTheValueNegativeIsStored) {
  // Checked through the global before Parse restores it.
  for (auto [arg, expected] : {std::pair{"0", 5}, {"abc", 5}, {"-3", -3}, {"7x", 7}}) {
    RunSettings settings;
    std::vector<std::string> args{"tessel", "-l", arg};
    std::vector<char*> argv{args[0].data(), args[1].data(), args[2].data(), nullptr};
    ParseOptions(3, argv.data(), settings);
    EXPECT_EQ(CShingle::shingle_length, expected) << arg;
    CShingle::shingle_length = 5;
  }
}

TEST(ParseOptions, LaterOccurrencesWinAndUnknownOptionsAreSkipped) {
  Parsed parsed = Parse({"-p", "a", "--bogus", "-p", "b", "-m", "abc", "-o", "7", "--lm-log=1",
                         "--size-threshold", "99999999999", "-f", "-v", "-b"});
  EXPECT_EQ(parsed.outcome, OptionOutcome::kRunDriver);
  EXPECT_EQ(parsed.settings.ProtectedFiles, "b");
  EXPECT_EQ(parsed.settings.MaxThreshold, 0);
  EXPECT_EQ(parsed.settings.LmFormula, 7);
  EXPECT_EQ(parsed.settings.SizeThreshold, INT32_MAX);  // saturated, not wrapped
  EXPECT_TRUE(parsed.settings.FromFile && parsed.settings.SaveProtected && parsed.settings.Subtract);
  EXPECT_NE(parsed.err.find("bogus"), std::string::npos);   // getopt's own diagnostics
  EXPECT_NE(parsed.err.find("lm-log"), std::string::npos);
}

TEST(ParseOptions, RejectsZeroWindowAndNegativeThresholds) {
  Parsed parsed = Parse({"--lm-length", "0", "-m", "-4", "--size-threshold", "-1"});
  EXPECT_EQ(parsed.err,
            "Error: lm-length must not be 0; keeping 10\n"
            "Error: max-threshold must not be negative: -4; using 0\n"
            "Error: size-threshold must not be negative: -1; using 0\n");
  EXPECT_EQ(parsed.settings.MaxThreshold, 0);
  EXPECT_EQ(parsed.settings.SizeThreshold, 0);
}

TEST(ParseOptions, HelpEndsTheRunBeforeLaterOptions) {
  testing::internal::CaptureStdout();
  Parsed parsed = Parse({"-h", "-p", "late"});
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(parsed.outcome, OptionOutcome::kFinished);
  EXPECT_EQ(parsed.settings.ProtectedFiles, "");
  // 24 strings, the first ending in two line feeds; descriptions in column 29.
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 25);
  const std::string last = "  -o, --lm-formula          use formula, possible values: 1, 2\n";
  EXPECT_EQ(out.substr(0, 54), "usage: tessel [OPTION] -pFILES [-uFILES] [-dFILES]\n\n  ");
  EXPECT_EQ(out.substr(out.size() - last.size()), last);
}

}  // namespace
