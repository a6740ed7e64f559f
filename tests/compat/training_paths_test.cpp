// The tool trains into flat sets; the exported list operations (BuildShingles,
// Unique, Common, ConvertToSet, saveShinglesToFile) train the same corpus the
// original way. Both must give the same four set files, byte for byte, and the
// same judging output.
#include "compat/compare.h"
#include "compat/formulas.h"
#include "compat/settings.h"
#include "compat/shingle_file.h"
#include "support/run_tool.h"
#include "support/test_support.h"
#include "tool/driver.h"
#include "tool/file_list.h"
#include "tool/options.h"

namespace {

namespace fs = std::filesystem;
const std::string kCorpus = std::string(TESSEL_SOURCE_DIR) + "/examples/corpus";
// Every corpus file is protected, so many digests recur across files.
const std::string kProtected = kCorpus + "/*/*.txt";
const std::string kUnprotected = kCorpus + "/unprotected/*.txt";
const char* const kSetFiles[] = {"p.bin", "p.bin.2", "u.bin", "u.bin.2"};

class TrainingPaths : public testing::Test {
 protected:
  void SetUp() override {
    fs::copy(kCorpus + "/docs", dir / "docs");
    fs::create_directory(dir / "lists");
    LoadStopwords(kCorpus + "/stop.txt");
  }

  void Build(const std::string& pattern, CShingleSet& words, CShingleSet& pairs) {
    for (const std::string& name : getFileList(pattern)) {
      BuildShingles(name, words, 1);
      BuildShingles(name, pairs, 2);
    }
  }

  SettingsGuard guard;
  TempDir dir;
  CShingleSet p, pp, u, up, common;
};

// A language model trained both ways: the same files, and the tool's output
// on the documents that of the exported formula.
TEST_F(TrainingPaths, LanguageModelGivesTheSameFilesAndVerdicts) {
  Build(kProtected, p, pp);
  Build(kUnprotected, u, up);
  CShingleSet* sets[] = {&p, &pp, &u, &up};
  for (int i = 0; i < 4; ++i)
    saveShinglesToFile(dir / ("lists/" + std::string(kSetFiles[i])), *sets[i]);
  const std::string out =
      RunToolIn(dir.path(), {"-t", kCorpus + "/stop.txt", "-p", kProtected, "-u", kUnprotected,
                             "-d", "docs/*.txt", "-v", "-o", "1", "--lm-sub"});
  for (const char* name : kSetFiles)
    EXPECT_EQ(ReadFile(dir / ("lists/" + std::string(name))), ReadFile(dir / name)) << name;
  Common(pp, up, common);
  for (CShingleSet* set : sets) set->ConvertToSet();
  // Whatever the formula writes, then the verdict; the evaluation pass over
  // the protected files writes the formula's output only.
  auto judge = [&](const std::string& name) {
    CShingleSet words, pairs;
    _BuildShingles(name, words, 1);
    _BuildShingles(name, pairs, 2);
    testing::internal::CaptureStdout();
    bool verdict = Formula1(words, pairs, p, u, pp, up);
    return testing::internal::GetCapturedStdout() + (verdict ? "true\n" : "false\n");
  };
  std::string expected;
  for (const std::string& name : getFileList(dir / "docs/*.txt"))
    expected += name.substr(dir.path().size() + 1) + "\t" + judge(name);
  for (const std::string& name : getFileList(kProtected)) {
    std::string judged = judge(name);
    expected += judged.substr(0, judged.rfind('\n', judged.size() - 2) + 1);
  }
  EXPECT_EQ(expected, out);
}

}  // namespace

// The exported main leaves a parsed command line in the process-wide
// settings, for a host that calls it and then the old functions.
TEST(PublishedSettings, HoldWhatTheCommandLineSet) {
  const CommandLine line = Parsed({"-l", "3", "-s", "2", "-c", "-a", "--lm-length=7", "--lm-sub",
                                   "--lm-log", "--lm-threshold-2=0.5"});
  PublishSettings(line.run.options, line.DetailedAllOption);
  const Options published = CurrentOptions();
  EXPECT_EQ(published.text.shingle_length, 3);
  EXPECT_EQ(published.text.shingle_shift, 2);
  EXPECT_TRUE(published.text.upper_case && DetailedAll && Detailed);
  EXPECT_EQ(published.scoring.lm.length, 7);
  EXPECT_TRUE(published.scoring.exclusive_pairs && published.scoring.lm.log);
  EXPECT_EQ(published.scoring.lm.threshold_2, 0.5);
  PublishSettings(Options{}, false);  // the defaults again, for the tests after this one
  EXPECT_FALSE(UpperCase || Detailed || DetailedAll || lm_sub);
}
