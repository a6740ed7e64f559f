// The options interface reads texts in the encoding and case of its open
// options, or by the rule the model was trained with. (That a UTF-8 text
// judges as its Windows-1251 form through each encoding option is checked by
// python.options.)
#include "embed/embed.h"
#include "embed/tessel.h"
#include "support/run_tool.h"
#include "support/test_support.h"
#include "corpus_model.h"

namespace {

tessel_t* OpenWith(const std::string& dir, int64_t encoding, int64_t upper_case) {
  tessel_open_options_t open = OpenDefaults();
  open.mode = TESSEL_MODE_LANGUAGE_MODEL, open.encoding = encoding, open.upper_case = upper_case;
  char* error = nullptr;
  tessel_t* model = tessel_open_with(dir.c_str(), &open, &error);
  EXPECT_EQ(error, nullptr) << error;
  return model;
}

// The verdict with window length 3.
char Judge(tessel_t* model, const std::string& text) {
  tessel_judge_options_t judge = JudgeDefaults();
  judge.length = 3;
  tessel_verdict_t verdict = NewVerdict();
  EXPECT_GE(tessel_judge_text(model, text.data(), text.size(), &judge, &verdict, nullptr), 0);
  return static_cast<char>(verdict.verdict);
}

// A model trained in capitals (as -c trains) knows a text in small letters
// only when the handle upper-cases it too.
TEST(OptionsEncoding, UpperCaseReadsSmallLettersAsCapitals) {
  TempDir dir;
  WriteTextModel(dir.path(), "ALPHA BETA GAMMA DELTA\n", "ONE TWO THREE\n");
  for (int64_t upper_case : {0, 1}) {
    tessel_t* model = OpenWith(dir.path(), TESSEL_ENCODING_AUTO, upper_case);
    EXPECT_EQ(Judge(model, "alpha beta gamma delta."), upper_case);
    tessel_close(model);
  }
}

// _processShingles' verdict on a text against the model _openShingles opens
// in dir, what they say left unchecked.
int Processed(const std::string& dir, const std::string& text) {
  int verdict = 0;
  Said([&] {
    tessel_model* single = _openShingles(dir.c_str());
    verdict = _processShingles(single, text.data(), static_cast<int>(text.size()));
    _closeShingles(single);
    return true;
  });
  return verdict;
}

// The verdicts of one text through every interface that opens a model by
// its directory alone, window length 3: _processShingles, tessel_judge, and
// tessel_open_with with NULL options, with default options and with the
// options' encoding given as cp1251.
std::string Verdicts(const std::string& dir, const std::string& text) {
  lm_length = 3;
  std::string verdicts(1, static_cast<char>('0' + Processed(dir, text)));
  tessel_t* model = tessel_open(dir.c_str(), nullptr);
  tessel_settings_t settings = DefaultSettings();
  settings.length = 3;
  verdicts += '0' + tessel_judge(model, text.data(), text.size(), &settings, nullptr, nullptr);
  tessel_close(model);
  model = tessel_open_with(dir.c_str(), nullptr, nullptr);
  verdicts += model == nullptr ? '-' : '0' + Judge(model, text);
  tessel_close(model);
  for (int64_t encoding : {int64_t{TESSEL_ENCODING_MODEL}, int64_t{TESSEL_ENCODING_CP1251}}) {
    model = OpenWith(dir, encoding, 0);
    verdicts += '0' + Judge(model, text);
    tessel_close(model);
  }
  return verdicts;
}

// A model the tool trained records its encoding rule (auto by default), and
// every interface reads texts by it unless the options name another: the
// UTF-8 copy of a flagged document is flagged too. Without a description,
// _processShingles and tessel_judge read byte for byte as they always have.
TEST(DescribedEncoding, EveryInterfaceReadsTextsAsTheModelWasTrained) {
  const SettingsGuard guard;
  TempDir trained, bare;
  RunToolIn(trained.path(), {"-p", TESSEL_EXAMPLES "/protected/*.txt", "-u",
                             TESSEL_EXAMPLES "/unprotected/*.txt", "-o", "1", "-v"});
  corpus::WriteModel(bare.path(), 1);
  int flagged = 0;
  for (const std::string& name : corpus::Texts(TESSEL_EXAMPLES "/docs")) {
    const std::string cp1251 = ReadFile(name), utf8 = ToUtf8(cp1251);
    if (utf8 == cp1251) continue;
    const std::string original = Verdicts(trained.path(), cp1251);
    if (original.substr(0, 4) != "1111") continue;
    ++flagged;
    EXPECT_EQ(Verdicts(trained.path(), utf8), "11110") << name;
    // Without a description: byte for byte, except for the options
    // interface, whose default is the tool's (NULL options mean shingle
    // mode there).
    EXPECT_EQ(Verdicts(bare.path(), utf8), "00010") << name;
  }
  EXPECT_GT(flagged, 0);
}

// A model the tool trained with -c is opened by both interfaces that read
// UpperCase when it is set, and they judge alike; without it both refuse it.
TEST(DescribedCase, AModelTrainedWithUpperCaseOpensUnderUpperCase) {
  const SettingsGuard guard;
  TempDir trained;
  RunToolIn(trained.path(), {"-p", TESSEL_EXAMPLES "/protected/*.txt", "-u",
                             TESSEL_EXAMPLES "/unprotected/*.txt", "-o", "1", "-v", "-c"});
  UpperCase = true;
  lm_length = 3;
  tessel_t* model = tessel_open(trained.path().c_str(), nullptr);
  ASSERT_NE(model, nullptr);
  tessel_settings_t settings = DefaultSettings();
  settings.length = 3;
  int flagged = 0;
  for (const std::string& name : corpus::Texts(TESSEL_EXAMPLES "/docs")) {
    const std::string text = ReadFile(name);
    const int single = Processed(trained.path(), text);
    EXPECT_EQ(tessel_judge(model, text.data(), text.size(), &settings, nullptr, nullptr), single)
        << name;
    flagged += single;
  }
  EXPECT_GT(flagged, 0);
  tessel_close(model);
  UpperCase = false;
  EXPECT_EQ(tessel_open(trained.path().c_str(), nullptr), nullptr);
}

}  // namespace
