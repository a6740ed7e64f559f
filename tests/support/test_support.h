// What the unit tests and fuzz targets share: records and sets, output
// capture, a guard that restores the process-wide settings, temporary files
// and fuzz input. The fuzz targets use it without linking GoogleTest.
#pragma once

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>

#include "compat/builder.h"
#include "compat/settings.h"
#include "compat/shingle.h"
#include "compat/shingle_file.h"
#include "core/text_words.h"
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

// A model of two texts, the protected one and the unprotected one: the set
// files of their words in dir, and of their pairs unless words_only.
inline void WriteTextModel(const std::string& dir, const std::string& protected_text,
                           const std::string& unprotected_text, bool words_only = false) {
  for (int n = 1; n <= (words_only ? 1 : 2); ++n) {
    CShingleSet p = Built(protected_text, n), u = Built(unprotected_text, n);
    saveShinglesToFile(dir + (n == 1 ? "/p.bin" : "/p.bin.2"), p);
    saveShinglesToFile(dir + (n == 1 ? "/u.bin" : "/u.bin.2"), u);
  }
}

// A Windows-1251 text in UTF-8, as the system's converter gives it.
inline std::string ToUtf8(std::string text) {
  iconv_t converter = iconv_open("UTF-8", "CP1251");
  std::string out(text.size() * 3, '\0');
  char* in = text.data();
  char* put = out.data();
  size_t in_left = text.size(), out_left = out.size();
  EXPECT_NE(iconv(converter, &in, &in_left, &put, &out_left), static_cast<size_t>(-1));
  iconv_close(converter);
  out.resize(out.size() - out_left);
  return out;
}

// A text's words, read at once.
inline TextWords WordsOf(const std::string& text, const TextOptions& options = TextOptions()) {
  TextWords words(options);
  words.Feed(text.data(), text.size());
  words.Finish();
  return words;
}

// What run() wrote to std::cout and std::cerr, "|" between them, after "T|"
// or "F|" for what it returned.
inline std::string Said(const std::function<bool()>& run) {
  std::ostringstream out, err;
  std::streambuf* const saved[] = {std::cout.rdbuf(out.rdbuf()), std::cerr.rdbuf(err.rdbuf())};
  const bool result = run();
  std::cout.rdbuf(saved[0]), std::cerr.rdbuf(saved[1]);
  return (result ? "T|" : "F|") + out.str() + "|" + err.str();
}

// Every process-wide setting a test may change.
inline auto AllSettings() {
  return std::tie(lm_threshold_1, lm_threshold_2, lm_length, lm_lambda, lm_lambda0, lm_factor,
                  lm_log, lm_sub, Detailed, DetailedAll, UpperCase, CShingle::shingle_length,
                  CShingle::shingle_shift, Stopwords, ExperimentDirectory);
}
template <typename... T>
std::tuple<T...> Copied(const std::tuple<T&...>& values) { return values; }

// Restores every process-wide setting a test may change.
class SettingsGuard {
 public:
  ~SettingsGuard() { AllSettings() = saved_; }

 private:
  decltype(Copied(AllSettings())) saved_ = AllSettings();
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
  // The next n bytes, or as many as are left.
  std::string Take(size_t n) {
    n = std::min(n, size_);
    std::string taken(reinterpret_cast<const char*>(data_), n);
    data_ += n, size_ -= n;
    return taken;
  }
  std::string Rest() const { return std::string(reinterpret_cast<const char*>(data_), size_); }

 private:
  const uint8_t* data_;
  size_t size_;
};
