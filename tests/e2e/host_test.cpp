#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "core/builder.h"
#include "core/set_file.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

// Trains a model the way the tool saves one: per learning file, word and pair
// sets, written as p.bin, p.bin.2, u.bin and u.bin.2.
class HostTest : public testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "secret1.txt", "Quarterly merger terms stay confidential.\n");
    WriteFile(dir_ / "secret2.txt", "The merger terms of the quarterly plan.\n");
    WriteFile(dir_ / "plain.txt", "Lunch menu for the week: soup and bread.\n");
    Save({"secret1.txt", "secret2.txt"}, "p");
    Save({"plain.txt"}, "u");
    // Judged with lm_length 10 against loaded sets (counts 1, totals 0):
    // "merger terms stay confidential" starts with a protected word and goes
    // on with protected pairs: 100 / 1.01^3 against 0, flagged.
    WriteFile(dir_ / "doc_secret.txt", "merger terms stay confidential\n");
    // Starts with a word only the unprotected side knows: S_P = 0.
    WriteFile(dir_ / "doc_plain.txt", "soup and bread for lunch\n");
    // Known to neither side: 0 against 0.
    WriteFile(dir_ / "doc_other.txt", "entirely different words here\n");
    WriteFile(dir_ / "doc_empty.txt", "");
  }

  void Save(std::initializer_list<std::string> files, const std::string& side) {
    CShingleSet words, pairs;
    for (const std::string& file : files) {
      BuildShingles(dir_ / file, words, 1);
      BuildShingles(dir_ / file, pairs, 2);
    }
    std::filesystem::create_directories(dir_ / "model");
    saveShinglesToFile(dir_ / ("model/" + side + ".bin"), words);
    saveShinglesToFile(dir_ / ("model/" + side + ".bin.2"), pairs);
  }

  // The verdict lines of the host's output (the scoring's own lines aside).
  std::string Verdicts(const ProcessResult& run) {
    std::istringstream lines(run.out);
    std::string line, verdicts;
    while (std::getline(lines, line))
      if (line.rfind(dir_.path(), 0) == 0) verdicts += line.substr(dir_.path().size() + 1) + "\n";
    return verdicts;
  }

  std::vector<std::string> Args(const std::string& host) {
    std::vector<std::string> args{host, dir_ / "model"};
    for (const char* doc : {"doc_secret.txt", "doc_plain.txt", "doc_other.txt", "doc_empty.txt"})
      args.push_back(dir_ / doc);
    return args;
  }

  TempDir dir_;
  const std::string expected_ =
      "doc_secret.txt\t1\ndoc_plain.txt\t0\ndoc_other.txt\t0\ndoc_empty.txt\t0\n";
};

TEST_F(HostTest, LoadedAndLinkedHostsGiveTheSameVerdicts) {
  for (const char* host : {TESSEL_HOST, TESSEL_HOST_LINKED}) {
    ProcessResult run = RunProcess(Args(host));
    EXPECT_EQ(run.status, 0) << host << run.err;
    EXPECT_EQ(Verdicts(run), expected_) << host;
    EXPECT_NE(run.out.find("values: \t97.059\t0\nstring:\nmerger terms stay confidential\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, "Error: empty doc shingles\n") << host;
  }
}

TEST_F(HostTest, ModelTrainedByTheTool) {
  // The tool keeps each file's distinct shingles, so a word of both secret
  // files is saved twice; the model's look-ups see it once, as above.
  std::filesystem::create_directories(dir_ / "trained");
  ProcessResult train = RunTessel(
      {"-p", dir_ / "secret*.txt", "-u", dir_ / "plain.txt", "-v", "-o", "1"}, dir_ / "trained");
  ASSERT_EQ(train.status, 0) << train.err;
  std::vector<std::string> args = Args(TESSEL_HOST);
  args[1] = dir_ / "trained";
  EXPECT_EQ(Verdicts(RunProcess(args)), expected_);
}

TEST_F(HostTest, FailuresAreReportedAndTheOtherFilesJudged) {
  std::vector<std::string> args = Args(TESSEL_HOST);
  args.insert(args.begin() + 1, {"-l", dir_ / "missing.so"});
  ProcessResult run = RunProcess(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("missing.so"), std::string::npos) << run.err;

  args = Args(TESSEL_HOST_LINKED);
  args.push_back(dir_ / "no_such_document.txt");
  run = RunProcess(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Verdicts(run), expected_);
  EXPECT_NE(run.err.find("no_such_document.txt"), std::string::npos);
}

}  // namespace
