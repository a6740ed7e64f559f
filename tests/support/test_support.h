// What the unit tests and fuzz targets share: records and sets, output
// capture, a guard that restores the process-wide settings, temporary files
// and fuzz input. The fuzz targets use it without linking GoogleTest.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include "core/builder.h"
#include "core/settings.h"
#include "core/shingle.h"
#include "experiments/sweep.h"

// A record whose digest is first_byte, zeros, last_byte.
inline CShingle Record(unsigned char first_byte, const std::string& text = "", int count = 1,
                       unsigned char last_byte = 0) {
  CShingle shingle;
  shingle.hash[0] = first_byte;
  shingle.hash[15] = last_byte;
  shingle.text = text, shingle.count = count;
  return shingle;
}

inline CShingleSet SetOf(std::initializer_list<CShingle> records) {
  CShingleSet set;
  return set.list = records, set;
}

// The first digest byte of each record of the list.
inline std::string FirstBytes(const CShingleSet& set) {
  std::string bytes;
  for (const CShingle& shingle : set.list) bytes += static_cast<char>(shingle.hash[0]);
  return bytes;
}

// The shingles of n words of a text, as a document set (built, not indexed).
inline CShingleSet Built(const std::string& text, int n) {
  CShingleSet set;
  std::istringstream in(text);
  return _BuildShingles(in, set, n), set;
}

// A trained set as read back from a set file: counts 1, total 0, indexed.
inline CShingleSet Loaded(const std::string& text, int n) {
  CShingleSet set = Built(text, n);
  for (CShingle& shingle : set.list) shingle.text.clear();
  set.total = 0;
  set.ConvertToSet();
  return set;
}

// A trained set as training leaves it: counts and total as built, indexed.
inline CShingleSet Trained(const std::string& text, int n) {
  CShingleSet set = Built(text, n);
  Unique(set);
  set.ConvertToSet();
  return set;
}

// Standard output and standard error written while run() ran, "|" between
// them, after "T|" or "F|" for what run() returned.
inline std::string Said(const std::function<bool()>& run) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const bool result = run();
  const std::string out = testing::internal::GetCapturedStdout();
  return (result ? "T|" : "F|") + out + "|" + testing::internal::GetCapturedStderr();
}

// Restores every process-wide setting a test may change.
class SettingsGuard {
 public:
  ~SettingsGuard() {
    lm_threshold_1 = threshold_1_, lm_threshold_2 = threshold_2_, lm_length = length_;
    lm_lambda = lambda_, lm_lambda0 = lambda0_, lm_factor = factor_;
    lm_log = log_, lm_sub = sub_, Detailed = detailed_, DetailedAll = all_, UpperCase = upper_;
    CShingle::shingle_length = shingle_length_, CShingle::shingle_shift = shingle_shift_;
    Stopwords = stopwords_;
    ExperimentDirectory = experiments_;
  }

 private:
  double threshold_1_ = lm_threshold_1, threshold_2_ = lm_threshold_2;
  int32_t length_ = lm_length;
  double lambda_ = lm_lambda, lambda0_ = lm_lambda0, factor_ = lm_factor;
  bool log_ = lm_log, sub_ = lm_sub, detailed_ = Detailed, all_ = DetailedAll, upper_ = UpperCase;
  int32_t shingle_length_ = CShingle::shingle_length, shingle_shift_ = CShingle::shingle_shift;
  std::set<std::string> stopwords_ = Stopwords;
  std::string experiments_ = ExperimentDirectory;
};

// A fixture whose tests may change the settings freely.
class LmSettingsTest : public testing::Test {
  SettingsGuard guard_;
};

// A temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir() {
    path_ = (std::filesystem::temp_directory_path() / "tessel-test-XXXXXX").string();
    if (mkdtemp(path_.data()) == nullptr) std::abort();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A private directory for the files of a fuzz target, removed at exit, with
// standard input and output at /dev/null so that the code may read and print.
inline const char* FuzzWorkDir() {
  static TempDir dir;
  static const bool quiet = std::freopen("/dev/null", "r", stdin) && std::freopen("/dev/null", "w", stdout);
  if (!quiet) std::abort();
  return dir.path().c_str();
}

// Takes small integers from the front of a fuzz input.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // A value in [low, high]; low when the input is used up.
  int Pick(int low, int high) {
    if (size_ == 0) return low;
    --size_;
    return low + *data_++ % (high - low + 1);
  }
  std::string Rest() const { return std::string(reinterpret_cast<const char*>(data_), size_); }

 private:
  const uint8_t* data_;
  size_t size_;
};
