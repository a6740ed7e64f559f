#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <vector>

#include "core/text_words.h"
#include "corpus_model.h"
#include "embed/tessel.h"
#include "support/test_support.h"

namespace {

// The verdict and the values and phrase lines of _processShingles under the
// process-wide settings, doubles with 17 digits: the scores to the last bit.
std::string Reference(tessel_model* model, const std::string& text) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  std::cout << std::setprecision(17);
  const int verdict = _processShingles(model, text.c_str(), 0);
  std::cout << std::setprecision(6);
  testing::internal::GetCapturedStderr();
  return std::to_string(verdict) + testing::internal::GetCapturedStdout();
}

// The words of a piece of text, normalised and joined as the formula does.
std::string Words(const std::string& piece) {
  TextWords words;
  words.Feed(piece.data(), piece.size());
  words.Feed("\n", 1);
  words.Finish();
  return words.size() == 0 ? "" : std::string(words.Span(0, words.size()));
}

// The same from tessel_judge's result, its phrase taken from the buffer.
std::string Judge(const tessel_t* model, const std::string& text,
                  const tessel_settings_t& settings) {
  tessel_result_t r;
  std::ostringstream said;
  said << std::setprecision(17) << tessel_judge(model, text.data(), text.size(), &settings, &r,
                                                nullptr);
  if (r.verdict)
    said << "values: \t" << r.protected_score << '\t' << r.unprotected_score << "\nstring:\n"
         << Words(text.substr(r.phrase_offset, r.phrase_length)) << '\n';
  return said.str();
}

class TesselApi : public LmSettingsTest {};

TEST_F(TesselApi, AgreesWithProcessShinglesOverTheCorpora) {
  struct Case {
    double threshold_1, lambda, factor;
    int32_t length;
    bool log;
  };
  const Case cases[] = {{1, 0, 0, 10, false},  {1, 0, 0, 10, true},   {1, 0.5, 1e-9, 4, false},
                        {1e-6, 0.3, 0, 2, false}, {1, 1, 0.5, 3, true}, {1, 2, 0, 1, false},
                        {1, 0, 0, -1, true}, {1e-6, 0, 0, 3, false}};
  int hits = 0, judged = 0;
  for (int which = 0; which < 2; ++which) {
    TempDir dir;
    corpus::WriteModel(dir.path(), which);
    testing::internal::CaptureStderr();
    tessel_model* reference = _openShingles(dir.path().c_str());
    testing::internal::GetCapturedStderr();
    tessel_t* model = tessel_open(dir.path().c_str(), nullptr);
    ASSERT_NE(model, nullptr);
    for (const Case& c : cases) {
      tessel_settings_t settings{c.threshold_1, 1.0, c.length, c.lambda, c.factor, c.log};
      lm_threshold_1 = c.threshold_1, lm_length = c.length, lm_lambda = c.lambda;
      lm_factor = c.factor, lm_log = c.log;
      for (const std::string& name : corpus::Documents()) {
        const std::string text = ReadFile(name);
        // The whole text, and texts cut inside, between and after words.
        for (size_t size : {text.size(), text.size() / 3, text.size() / 2 + 1, size_t{40}}) {
          const std::string piece = text.substr(0, size), got = Judge(model, piece, settings);
          EXPECT_EQ(got, Reference(reference, piece)) << name << " cut at " << size;
          hits += got[0] == '1', ++judged;
        }
      }
    }
    tessel_close(model);
    _closeShingles(reference);
  }
  // Both verdicts occur often enough for the comparison to mean something.
  EXPECT_GT(hits, judged / 5);
  EXPECT_LT(hits, judged * 4 / 5);
}

// The model knows the words and pairs of "alpha beta gamma delta" on the
// protected side and nothing on the other.
void WriteSmallModel(const std::string& dir) {
  for (int n = 1; n <= 2; ++n) {
    CShingleSet known = Built("alpha beta gamma delta\n", n), none;
    saveShinglesToFile(dir + (n == 1 ? "/p.bin" : "/p.bin.2"), known);
    saveShinglesToFile(dir + (n == 1 ? "/u.bin" : "/u.bin.2"), none);
  }
}

TEST_F(TesselApi, HitPhraseLiesInTheBuffer) {
  TempDir dir;
  WriteSmallModel(dir.path());
  tessel_t* model = tessel_open(dir.path().c_str(), nullptr);
  ASSERT_NE(model, nullptr);
  Stopwords.insert("the");
  // Exactly the bytes given (no NUL after them); the NUL inside separates.
  const std::string given("alpha, the beta\0gamma delta!", 28);
  const std::vector<char> text(given.begin(), given.end());
  auto phrase = [&](int32_t length, size_t size) {
    tessel_settings_t settings;
    tessel_settings_default(&settings);
    settings.length = length;
    tessel_result_t result;
    EXPECT_EQ(tessel_judge(model, text.data(), size, &settings, &result, nullptr), 1);
    EXPECT_EQ(result.unprotected_score, 0.0);
    return given.substr(result.phrase_offset, result.phrase_length);
  };
  // One partial window over the three pairs: phrase w0 .. w3; a full window
  // of length 3 ending at w2: phrase w1 w2. Cut inside "delta", the last word
  // has no separator after it and is left out: two pairs, phrase w0 w1.
  EXPECT_EQ(phrase(10, text.size()), std::string("alpha, the beta\0gamma delta", 27));
  EXPECT_EQ(phrase(3, text.size()), std::string("beta\0gamma", 10));
  EXPECT_EQ(phrase(3, 25), "alpha, the beta");
  Stopwords.clear();
  // NULL settings are the defaults; result may be NULL.
  EXPECT_EQ(tessel_judge(model, "alpha beta.", 11, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(tessel_judge(model, nullptr, 0, nullptr, nullptr, nullptr), 0);
  tessel_close(model);
}

TEST_F(TesselApi, BrokenModelsAreRefusedWithAMessage) {
  TempDir dir;
  auto open_error = [&](const std::string& path) {
    char* error = strdup("an earlier message");  // replaced, not leaked
    EXPECT_EQ(tessel_open(path.c_str(), &error), nullptr);
    std::string message = error ? error : "(none)";
    tessel_free(error);
    return message;
  };
  WriteSmallModel(dir.path());
  tessel_t* model = tessel_open((dir.path() + "/").c_str(), nullptr);
  EXPECT_NE(model, nullptr);
  unlink((dir / "u.bin.2").c_str());
  EXPECT_EQ(open_error(dir.path()),
            "cannot open model file " + dir.path() + "/u.bin.2: No such file or directory");
  mkdir((dir / "u.bin.2").c_str(), 0700);
  EXPECT_EQ(open_error(dir.path()),
            "model file " + dir.path() + "/u.bin.2 is not a regular file");
  WriteFile(dir / "p.bin.2", std::string(40, 'x'));
  EXPECT_EQ(open_error(dir.path()), "model file " + dir.path() +
                                        "/p.bin.2 is damaged: its size, 40 bytes, is not a "
                                        "multiple of 16");
  if (geteuid() != 0) {  // root reads anyway
    chmod((dir / "p.bin").c_str(), 0);
    EXPECT_EQ(open_error(dir.path()),
              "cannot open model file " + dir.path() + "/p.bin: Permission denied");
  }
  EXPECT_EQ(open_error(dir / "nowhere"), "cannot open model file " + dir.path() +
                                             "/nowhere/p.bin: No such file or directory");
  char* error = nullptr;
  EXPECT_EQ(tessel_judge(nullptr, "a b\n", 4, nullptr, nullptr, &error), -1);
  EXPECT_STREQ(error, "no model given");
  EXPECT_EQ(tessel_judge(model, nullptr, 4, nullptr, nullptr, &error), -1);
  EXPECT_STREQ(error, "no text given");
  tessel_free(error);
  tessel_close(model);
  tessel_close(nullptr);
}

}  // namespace
