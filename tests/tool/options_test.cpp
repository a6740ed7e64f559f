#include "tool/options.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings.h"
#include "core/shingle.h"

namespace {

struct Parsed {
  RunSettings settings;
  OptionOutcome outcome;
  int32_t shingle_length;
  std::string err;
};

// Parses the options after the program name, keeping standard error; the
// process-wide settings the tests touch are restored afterwards.
Parsed Parse(std::vector<std::string> args) {
  const int32_t length = CShingle::shingle_length, window = lm_length;
  args.insert(args.begin(), "tessel");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  Parsed parsed;
  testing::internal::CaptureStderr();
  parsed.outcome = ParseOptions(static_cast<int>(args.size()), argv.data(), parsed.settings);
  parsed.err = testing::internal::GetCapturedStderr();
  parsed.shingle_length = CShingle::shingle_length;
  CShingle::shingle_length = length;
  lm_length = window;
  lm_log = false;
  return parsed;
}

TEST(ParseOptions, ConvertsKeepsTheLastOccurrenceAndRefusesBadValues) {
  EXPECT_EQ(Parse({"-l", "0"}).shingle_length, 5);
  EXPECT_EQ(Parse({"-l", "abc"}).shingle_length, 5);
  EXPECT_EQ(Parse({"-l", "-3"}).shingle_length, -3);
  Parsed parsed = Parse({"-p", "a", "--bogus", "-p", "b", "-m", "abc", "-o", "7x", "--lm-log=1",
                         "--size-threshold", "99999999999", "-f", "-v"});
  EXPECT_EQ(parsed.outcome, OptionOutcome::kRunDriver);
  EXPECT_EQ(parsed.settings.ProtectedFiles, "b");
  EXPECT_EQ(parsed.settings.MaxThreshold, 0);
  EXPECT_EQ(parsed.settings.LmFormula, 7);
  EXPECT_EQ(parsed.settings.SizeThreshold, INT32_MAX);  // saturated, not wrapped
  EXPECT_TRUE(parsed.settings.FromFile && parsed.settings.SaveProtected);
  EXPECT_NE(parsed.err.find("bogus"), std::string::npos);  // getopt's own diagnostics
  EXPECT_NE(parsed.err.find("lm-log"), std::string::npos);

  // A zero window and negative thresholds are refused.
  parsed = Parse({"--lm-length", "0", "-m", "-4", "--size-threshold", "-1"});
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
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 25);  // 24 strings, the first with two
}

}  // namespace
