#include "embed/embed.h"

#include <sys/stat.h>

#include "compat/shingle.h"
#include "embed/tessel.h"
#include "support/test_support.h"
#include "corpus_model.h"

namespace {

// The protected side knows "alpha beta gamma delta", the unprotected one "one
// two three": a protected-like text scores 100 / 1.01^k against 0 and is flagged.
// Its set files, of words only when words_only, lie in a temporary directory
// or in its folder.
struct TextModelDir : TempDir {
  explicit TextModelDir(bool words_only = false, const std::string& folder = ".") {
    std::filesystem::create_directories(*this / folder);
    WriteTextModel(*this / folder, "alpha beta gamma delta\n", "one two three\n", words_only);
  }
};

TEST(Embed, JudgesBuffersUpToTheirFirstNul) {
  const TextModelDir dir;
  tessel_model* model = _openShingles(dir.path().c_str());
  ASSERT_NE(model, nullptr);
  std::string verdicts;
  std::string said = Said([&] {
    // Repeated calls see an unchanged model; without a length the text ends
    // at its first NUL. A length is the text's size: a NUL inside separates
    // words (read on, the text is no longer flagged); bytes beyond it are
    // never read.
    for (int length : {18, 18, 0, -1}) verdicts += '0' + _processShingles(model, "alpha beta gamma.\n", length);
    verdicts += '0' + _processShingles(model, "one two three\n", 14);
    verdicts += '0' + _processShingles(model, "alpha beta gamma\n\0one two\n", 0);
    verdicts += '0' + _processShingles(model, "alpha beta gamma\n\0one two\n", 26);
    verdicts += '0' + _processShingles(model, "alpha beta gamma\0one two\n", 17);
    verdicts += '0' + _processShingles(model, "", 0);
    verdicts += '0' + _processShingles(model, nullptr, 5);
    verdicts += '0' + _processShingles(nullptr, "alpha beta\n", 11);
    return true;
  });
  EXPECT_EQ(verdicts, "11110101000");
  EXPECT_EQ(said.substr(said.rfind('|')), "|Error: empty doc shingles\n");
  // A shift below 1 is refused before reading; the formula then judges an
  // empty text and says so, after the refusal.
  const int32_t shift = CShingle::shingle_shift;
  CShingle::shingle_shift = 0;
  said = Said([&] { return _processShingles(model, "alpha beta gamma\n", 0) == 1; });
  CShingle::shingle_shift = shift;
  EXPECT_EQ(said.substr(0, 3), "F||");
  EXPECT_GT(said.size(), 3 + sizeof "Error: empty doc shingles\n");
  EXPECT_EQ(said.substr(said.size() - 26), "Error: empty doc shingles\n");
  _closeShingles(model);
  _closeShingles(nullptr);
}

TEST(Embed, MissingModelFilesLeaveTheirPartEmpty) {
  const TextModelDir dir(true);
  tessel_model* model = nullptr;
  // The trailing slash is kept: the paths have two slashes in a row.
  EXPECT_EQ(Said([&] { return (model = _openShingles((dir.path() + "/").c_str())) != nullptr; }),
            "T||Error opening file: " + dir.path() + "//p.bin.2\nError opening file: " + dir.path() +
                "//u.bin.2\n");
  // Without pair sets no pair is known: nothing is flagged.
  EXPECT_EQ(Said([&] { return _processShingles(model, "alpha beta gamma\n", 0) == 1; }), "F||");
  _closeShingles(model);
  EXPECT_EQ(Said([&] { return (model = _openShingles(nullptr)) != nullptr; }), "T||");
  EXPECT_EQ(_processShingles(model, "alpha beta gamma\n", 0), 0);
  _closeShingles(model);
}

// test() judges data/test.txt against the model in data/.
TEST(Embed, TestJudgesTheTestTextOfTheCurrentDirectory) {
  const TextModelDir dir(false, "data");
  WriteFile(dir / "data/test.txt", "alpha beta\ngamma");
  const std::string previous = std::filesystem::current_path();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  EXPECT_EQ(Said([] { test(); return true; }), "T|values: \t98.0296\t0\nstring:\nalpha beta gamma\n1\n|");
  std::filesystem::remove(dir / "data/test.txt");
  EXPECT_EQ(Said([] { test(); return true; }), "T||Error opening file: data/test.txt\n");
  ASSERT_EQ(chdir(previous.c_str()), 0);
}

TEST(TesselApi, HitPhraseLiesInTheBufferAndBrokenModelsAreRefused) {
  SettingsGuard guard;
  const TextModelDir dir;
  tessel_t* model = tessel_open(dir.path().c_str(), nullptr);
  ASSERT_NE(model, nullptr);
  Stopwords.insert("the");
  // Exactly the bytes given (no NUL after them); the NUL inside separates.
  const std::string given("alpha, the beta\0gamma delta!", 28);
  const std::vector<char> text(given.begin(), given.end());
  auto phrase = [&](int32_t length, size_t size) {
    tessel_settings_t settings = DefaultSettings();
    settings.length = length;
    tessel_result_t result;
    EXPECT_EQ(tessel_judge(model, text.data(), size, &settings, &result, nullptr), 1);
    return given.substr(result.phrase_offset, result.phrase_length);
  };
  // One partial window over the three pairs: phrase w0 .. w3; a full window
  // of length 3 ending at w2: phrase w1 w2. Cut inside "delta", the last word
  // has no separator after it and is left out: two pairs, phrase w0 w1.
  EXPECT_EQ(phrase(10, text.size()), std::string("alpha, the beta\0gamma delta", 27));
  EXPECT_EQ(phrase(3, text.size()), std::string("beta\0gamma", 10));
  EXPECT_EQ(phrase(3, 25), "alpha, the beta");
  // NULL settings are the defaults; result may be NULL.
  EXPECT_EQ(tessel_judge(model, "alpha beta.", 11, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(tessel_judge(model, nullptr, 0, nullptr, nullptr, nullptr), 0);
  char* error = nullptr;
  EXPECT_EQ(tessel_judge(nullptr, "a b\n", 4, nullptr, nullptr, &error), -1);
  EXPECT_STREQ(error, "no model given");
  EXPECT_EQ(tessel_judge(model, nullptr, 4, nullptr, nullptr, &error), -1);
  EXPECT_STREQ(error, "no text given");
  tessel_free(error);
  tessel_close(model);
  // A broken model is refused with a message.
  auto open_error = [&] {
    error = strdup("an earlier message");  // replaced, not leaked
    EXPECT_EQ(tessel_open(dir.path().c_str(), &error), nullptr);
    std::string message = error ? error : "(none)";
    tessel_free(error);
    return message;
  };
  unlink((dir / "u.bin.2").c_str());
  mkdir((dir / "u.bin.2").c_str(), 0700);
  EXPECT_EQ(open_error(), "model file " + dir / "u.bin.2" + " is not a regular file");
  WriteFile(dir / "p.bin.2", std::string(40, 'x'));
  EXPECT_EQ(open_error(), "model file " + dir / "p.bin.2" +
                              " is damaged: its size, 40 bytes, is not a multiple of 16");
  tessel_close(nullptr);
}

}  // namespace
