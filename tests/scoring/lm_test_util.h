// Helpers of the language-model formula tests.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/builder.h"
#include "core/settings.h"
#include "core/shingle.h"

// Restores every scoring setting a test may change.
class LmSettingsTest : public testing::Test {
 protected:
  void TearDown() override {
    lm_threshold_1 = lm_threshold_2 = 1.0;
    lm_length = 10;
    lm_lambda = lm_lambda0 = lm_factor = 0.0;
    lm_log = Detailed = false;
  }
};

// "T" or "F" for the verdict of run(), then "|" standard output "|" standard error.
template <typename Run>
std::string Said(Run run) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const bool verdict = run();
  const std::string out = testing::internal::GetCapturedStdout();
  return (verdict ? "T|" : "F|") + out + "|" + testing::internal::GetCapturedStderr();
}

// The shingles of n words of a text, as a document set (built, not indexed).
inline CShingleSet Built(const std::string& text, int n) {
  CShingleSet set;
  std::istringstream in(text);
  _BuildShingles(in, set, n);
  return set;
}

// A trained set as read back from a set file: every count 1, total 0, indexed.
inline CShingleSet Loaded(const std::string& text, int n) {
  CShingleSet set = Built(text, n);
  for (CShingle& shingle : set.list) shingle.text.clear();
  set.total = 0;
  set.ConvertToSet();
  return set;
}

// A trained set as built by training: counts and total as built, indexed.
inline CShingleSet Trained(const std::string& text, int n) {
  CShingleSet set = Built(text, n);
  Unique(set);
  set.ConvertToSet();
  return set;
}
