#include "embed/embed.h"

#include "core/set_file.h"
#include "support/test_support.h"

namespace {

// The protected side knows "alpha beta gamma", the unprotected one "one two
// three": a protected-like text scores 100 / 1.01^k against 0 and is flagged.
void WriteModel(const std::string& dir, bool with_pairs = true) {
  for (int n = 1; n <= (with_pairs ? 2 : 1); ++n) {
    CShingleSet p = Built("alpha beta gamma\n", n), u = Built("one two three\n", n);
    saveShinglesToFile(dir + (n == 1 ? "/p.bin" : "/p.bin.2"), p);
    saveShinglesToFile(dir + (n == 1 ? "/u.bin" : "/u.bin.2"), u);
  }
}

TEST(Embed, JudgesBuffersUpToTheirFirstNul) {
  TempDir dir;
  WriteModel(dir.path());
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
  _closeShingles(model);
  _closeShingles(nullptr);
}

TEST(Embed, MissingModelFilesLeaveTheirPartEmpty) {
  TempDir dir;
  WriteModel(dir.path(), false);
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
  TempDir dir;
  std::filesystem::create_directories(dir / "data");
  WriteModel(dir / "data");
  WriteFile(dir / "data/test.txt", "alpha beta\ngamma");
  const std::string previous = std::filesystem::current_path();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  EXPECT_EQ(Said([] { test(); return true; }), "T|values: \t98.0296\t0\nstring:\nalpha beta gamma\n1\n|");
  std::filesystem::remove(dir / "data/test.txt");
  EXPECT_EQ(Said([] { test(); return true; }), "T||Error opening file: data/test.txt\n");
  ASSERT_EQ(chdir(previous.c_str()), 0);
}

}  // namespace
