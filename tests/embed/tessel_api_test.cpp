#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <vector>

#include "core/text_words.h"
#include "corpus_model.h"
#include "embed/tessel.h"
#include "scoring/lm_test_util.h"
#include "support/temp_dir.h"

namespace {

struct Judged {
  int verdict = 0;
  double protected_score = 0, unprotected_score = 0;
  std::string phrase;
};

// _processShingles under the process-wide settings; its values line printed
// with 17 digits gives the scores to the last bit.
Judged Reference(tessel_model* model, const std::string& text) {
  Judged judged;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  std::cout << std::setprecision(17);
  judged.verdict = _processShingles(model, text.c_str(), 0);
  std::cout << std::setprecision(6);
  testing::internal::GetCapturedStderr();
  const std::string out = testing::internal::GetCapturedStdout();
  if (out.rfind("values: \t", 0) != 0) return judged;
  char* end;
  judged.protected_score = std::strtod(out.c_str() + 9, &end);
  judged.unprotected_score = std::strtod(end, &end);
  const size_t phrase = out.find("string:\n") + 8;
  judged.phrase = out.substr(phrase, out.find('\n', phrase) - phrase);
  return judged;
}

// The words of a piece of text, normalised and joined as the formula does.
std::string Words(const std::string& piece) {
  TextWords words;
  words.Feed(piece.data(), piece.size());
  words.Feed("\n", 1);
  words.Finish();
  return words.size() == 0 ? "" : std::string(words.Span(0, words.size()));
}

Judged Judge(const tessel_t* model, const std::string& text, const tessel_settings_t& settings) {
  tessel_result_t result;
  Judged judged;
  judged.verdict = tessel_judge(model, text.data(), text.size(), &settings, &result, nullptr);
  EXPECT_EQ(judged.verdict, result.verdict);
  judged.protected_score = result.protected_score;
  judged.unprotected_score = result.unprotected_score;
  judged.phrase = Words(text.substr(result.phrase_offset, result.phrase_length));
  return judged;
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
          const std::string piece = text.substr(0, size);
          const Judged expected = Reference(reference, piece), got = Judge(model, piece, settings);
          SCOPED_TRACE(name + " cut at " + std::to_string(size));
          EXPECT_EQ(got.verdict, expected.verdict);
          EXPECT_EQ(got.protected_score, expected.protected_score);
          EXPECT_EQ(got.unprotected_score, expected.unprotected_score);
          EXPECT_EQ(got.phrase, expected.phrase);
          hits += got.verdict, ++judged;
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
  // Exactly the bytes given: a NUL separates words and nothing follows.
  const char bytes[] = {'a', 'l', 'p', 'h', 'a', ',', ' ', 't', 'h', 'e', ' ', 'b', 'e', 't',
                        'a', '\0', 'g', 'a', 'm', 'm', 'a', ' ', 'd', 'e', 'l', 't', 'a', '!'};
  const std::vector<char> text(bytes, bytes + sizeof bytes);
  tessel_settings_t settings;
  tessel_settings_default(&settings);
  tessel_result_t result;
  // One partial window over the three pairs: 100 / 1.01^3, phrase w0 .. w3.
  EXPECT_EQ(tessel_judge(model, text.data(), text.size(), &settings, &result, nullptr), 1);
  const double r = 1 / 1.01;
  EXPECT_EQ(result.protected_score, 100 * r * r * r);
  EXPECT_EQ(result.unprotected_score, 0.0);
  EXPECT_EQ(std::string(bytes + result.phrase_offset, result.phrase_length),
            std::string("alpha, the beta\0gamma delta", 27));
  settings.length = 3;  // a full window ending at w2: phrase w1 w2
  EXPECT_EQ(tessel_judge(model, text.data(), text.size(), &settings, &result, nullptr), 1);
  EXPECT_EQ(std::string(bytes + result.phrase_offset, result.phrase_length),
            std::string("beta\0gamma", 10));
  // Cut inside "delta", the last word is not followed by a separator and is
  // left out: two pairs, phrase w0 w1.
  EXPECT_EQ(tessel_judge(model, text.data(), 25, &settings, &result, nullptr), 1);
  EXPECT_EQ(std::string(bytes + result.phrase_offset, result.phrase_length), "alpha, the beta");
  Stopwords.clear();
  settings.length = 1;  // an empty phrase
  EXPECT_EQ(tessel_judge(model, text.data(), text.size(), &settings, &result, nullptr), 1);
  EXPECT_EQ(result.phrase_offset + result.phrase_length, 0u);
  // No hit: zeros; NULL settings are the defaults and result may be NULL.
  result.protected_score = 5;
  EXPECT_EQ(tessel_judge(model, "one two three\n", 14, nullptr, &result, nullptr), 0);
  EXPECT_EQ(result.protected_score + result.unprotected_score + result.phrase_length, 0.0);
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
