#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

// Judged with lm_length 10 against loaded sets (counts 1, totals 0): a
// protected word, then protected pairs: 100 / 1.01^3 against 0, flagged; a
// first word only the unprotected side knows (S_P = 0); words neither side
// knows (0 against 0); no words at all.
const std::tuple<const char*, const char*, char> kDocs[] = {
    {"doc_secret.txt", "merger terms stay confidential\n", '1'},
    {"doc_plain.txt", "soup and bread for lunch\n", '0'},
    {"doc_other.txt", "entirely different words here\n", '0'},
    {"doc_empty.txt", "", '0'}};

// A model trained and saved by the tool: it keeps each file's distinct
// shingles, so a word of both secret files is saved twice and the model's
// look-ups see it once.
class HostTest : public testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "secret1.txt", "Quarterly merger terms stay confidential.\n");
    WriteFile(dir_ / "secret2.txt", "The merger terms of the quarterly plan.\n");
    WriteFile(dir_ / "plain.txt", "Lunch menu for the week: soup and bread.\n");
    for (const auto& [name, text, verdict] : kDocs) WriteFile(dir_ / name, text);
    std::filesystem::create_directories(dir_ / "model");
    ProcessResult train = RunTessel(
        {"-p", dir_ / "secret*.txt", "-u", dir_ / "plain.txt", "-v", "-o", "1"}, dir_ / "model");
    ASSERT_EQ(train.status, 0) << train.err;
  }

  // The host, the model directory and the four documents.
  std::vector<std::string> Args(const std::string& host) {
    std::vector<std::string> args{host, dir_ / "model"};
    for (const auto& [name, text, verdict] : kDocs) args.push_back(dir_ / name);
    return args;
  }

  // The scoring's lines for the flagged document, then a verdict line per document.
  std::string Expected() {
    std::string out = "values: \t97.059\t0\nstring:\nmerger terms stay confidential\n";
    for (const auto& [name, text, verdict] : kDocs) out += dir_ / name + "\t" + verdict + "\n";
    return out;
  }

  TempDir dir_;
};

TEST_F(HostTest, LoadedAndLinkedHostsGiveTheSameVerdicts) {
  for (const char* host : {TESSEL_HOST, TESSEL_HOST_LINKED}) {
    ProcessResult run = RunProcess(Args(host));
    EXPECT_EQ(run.status, 0) << host;
    EXPECT_EQ(run.out, Expected()) << host;
    EXPECT_EQ(run.err, "Error: empty doc shingles\n") << host;
  }
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
  EXPECT_EQ(run.out, Expected());
  EXPECT_EQ(run.err, "Error: empty doc shingles\ntessel-host: " + dir_ / "no_such_document.txt" +
                         ": No such file or directory\n");
}

}  // namespace
