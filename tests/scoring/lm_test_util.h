// Helpers of the language-model formula tests.
#pragma once

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

#include "core/builder.h"
#include "core/settings.h"
#include "core/shingle.h"

// Restores every scoring setting a test may change.
class LmSettingsTest : public testing::Test {
 protected:
  void TearDown() override {
    lm_threshold_1 = 1.0;
    lm_threshold_2 = 1.0;
    lm_length = 10;
    lm_lambda = 0.0;
    lm_lambda0 = 0.0;
    lm_factor = 0.0;
    lm_log = false;
    Detailed = false;
  }
};

// Collects what standard output and standard error receive during its life.
class Captured {
 public:
  Captured() : old_out_(std::cout.rdbuf(out_.rdbuf())), old_err_(std::cerr.rdbuf(err_.rdbuf())) {}
  ~Captured() {
    std::cout.rdbuf(old_out_);
    std::cerr.rdbuf(old_err_);
  }
  std::string out() const { return out_.str(); }
  std::string err() const { return err_.str(); }

 private:
  std::ostringstream out_;
  std::ostringstream err_;
  std::streambuf* old_out_;
  std::streambuf* old_err_;
};

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
