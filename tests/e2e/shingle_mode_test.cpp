// The tessel program in shingle mode on a small corpus of ASCII and
// Windows-1251 texts, with bigrams (-l 2) so that every count can be followed
// by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <numeric>
#include <set>
#include <sstream>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

// Stop words THE and И (0xC8). Protected bigrams: red fox, fox jumps, jumps
// over, over lazy, lazy dog (THE dropped) and КОТ ПЕС, ПЕС ДРУЗЬЯ (И dropped):
// 7 records. Unprotected: lazy dog, dog sleeps, sleeps all, all day: 4. After
// Common: 6 protected, 3 unprotected, lazy dog common.
// doc1 "the" stays (ASCII keeps its case): 8 distinct bigrams, P 4, C 1.
// doc2 (Кот пес друзья in mixed case): 2 bigrams, both protected.
// doc3: all day (twice), day long, long all: 3 distinct, U 1.
class ShingleMode : public testing::Test {
 protected:
  void SetUp() override {
    mkdir((dir / "learn").c_str(), 0755);
    mkdir((dir / "docs").c_str(), 0755);
    WriteFile(dir / "stop.txt", "THE \xC8\n");
    WriteFile(dir / "learn/prot.txt", "red fox THE jumps over lazy dog.\n");
    WriteFile(dir / "learn/prot_ru.txt", "\xEA\xEE\xF2 \xE8 \xEF\xE5\xF1 \xE4\xF0\xF3\xE7\xFC\xFF.\n");
    WriteFile(dir / "learn/unprot.txt", "lazy dog sleeps all day.\n");
    WriteFile(dir / "docs/doc1.txt", "the red fox jumps over lazy dog and sleeps.\n");
    WriteFile(dir / "docs/doc2.txt", "\xCA\xEE\xF2 \xEF\xE5\xF1 \xE4\xF0\xF3\xE7\xFC\xFF\n");
    WriteFile(dir / "docs/doc3.txt", "all day long, all day.\n");
  }

  // Bigrams and stop words; `train` adds the learning files.
  ProcessResult Run(std::vector<std::string> args, bool train = true) {
    args.insert(args.begin(), {"-t", "stop.txt", "-l", "2", "-m", "2"});
    if (train) args.insert(args.end(), {"-p", "learn/prot*", "-u", "learn/unprot.txt"});
    return RunTessel(args, dir.path());
  }

  TempDir dir;
};

// Result lines in name order (the directory search does not sort them).
std::string Sorted(const std::string& out) {
  std::istringstream in(out);
  std::multiset<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.insert(line + "\n");
  return std::accumulate(lines.begin(), lines.end(), std::string());
}

TEST_F(ShingleMode, SavedSetsJudgeLikeFreshlyBuiltOnes) {
  // Scaled rule (n < 100): 4*100 >= 8*2, 2*100 >= 2*2, 0*100 < 3*2.
  const std::string expected =
      "docs/doc1.txt\t4\t0\t1\t4>=2*0.08\n"
      "docs/doc2.txt\t2\t0\t0\t2>=2*0.02\n"
      "docs/doc3.txt\t0\t1\t0\t0<2*0.03\n";
  ProcessResult built = Run({"-d", "docs/*"});
  EXPECT_EQ(Sorted(built.out) + built.err, expected);
  ProcessResult saved = Run({"-v"});
  EXPECT_EQ(saved.out + saved.err, "");
  EXPECT_EQ(ReadFile(dir / "p.bin").size(), 7u * 16);  // saved as built, before Common
  EXPECT_EQ(ReadFile(dir / "u.bin").size(), 4u * 16);
  EXPECT_TRUE(FileExists(dir / "p.bin.2") && ReadFile(dir / "p.bin.2").empty());
  EXPECT_TRUE(FileExists(dir / "u.bin.2") && ReadFile(dir / "u.bin.2").empty());
  ProcessResult loaded = Run({"-f", "-p", "p.bin", "-u", "u.bin", "-d", "docs/*"}, false);
  EXPECT_EQ(Sorted(loaded.out) + loaded.err, expected);

  // n >= 3 compares P with M directly; doc2 (n 2) scales by 2/3.
  EXPECT_EQ(Sorted(Run({"--size-threshold", "3", "-d", "docs/*"}).out),
            "docs/doc1.txt\t4\t0\t1\t4>=2\n"
            "docs/doc2.txt\t2\t0\t0\t2>=2*0.666667\n"
            "docs/doc3.txt\t0\t1\t0\t0<2\n");
}

TEST_F(ShingleMode, DetailedBlockListsMatchesWithoutVerdict) {
  EXPECT_EQ(Run({"-e", "-d", "docs/doc3.txt"}).out,
            "docs/doc3.txt\n\nProtected:\nTotal protected :0\nUnprotected:\n"
            "\t[d234a5e6f442238a08f5490936b48d41] \"all day\" 2 1\n"  // MD5 of "all day"
            "Total unprotected:1\nCommon:\nTotal common:0\n");
  // КОТ ПЕС before ПЕС ДРУЗЬЯ (equal counts, by text).
  EXPECT_NE(Run({"-a", "-d", "docs/doc2.txt"})
                .out.find("\t[c119c065bddd62041232e9103af8bd4c] \"\xCA\xCE\xD2 \xCF\xC5\xD1\" 1 1\n\t["),
            std::string::npos);
}

TEST_F(ShingleMode, UnreadableAndEmptyDataFilesStillGetALine) {
  WriteFile(dir / "empty.txt", "");
  ProcessResult dir_run = RunTessel({"-d", "docs"}, dir.path());
  EXPECT_EQ(dir_run.out, "docs\t0\t0\t0\t0>=10*0\n");  // 0*100 >= 0*10
  EXPECT_EQ(dir_run.err, "Is a directory\n");
  EXPECT_EQ(RunTessel({"-d", "empty.txt", "-p", "none*"}, dir.path()).err, "No match found for: \"none*\"\n");
  ProcessResult quiet = RunTessel({}, dir.path());
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST_F(ShingleMode, ImmediateOptionsEndTheRunWithoutStopWords) {
  const std::string lines = "a\t3\t1\t0\t3>=10\nb\t1\t0\t0\t1<10\nc\t3\t2\t1\t3<10\n";
  ProcessResult report = RunTessel({"-t", "missing.txt", "-x", "-h"}, dir.path(), lines);
  EXPECT_EQ(report.out, "1\t1\t1\n3\t2\t3\n");
  EXPECT_EQ(report.err, "");  // the stop-word file was never opened
  EXPECT_EQ(RunTessel({"-h", "-x"}, dir.path(), lines).out.substr(0, 7), "usage: ");
  ProcessResult sweep = RunTessel({"-t", "missing.txt", "-z", "1e-1", "-h"}, dir.path());
  EXPECT_EQ(sweep.err, "1e-1\n0.1\n");
  // No count files in the compiled-in directory: every F is 0.
  EXPECT_EQ(sweep.out,
            "[C2] Fmax: 0; len_max: 1; col_max: B1; threshold_max: 0\n"
            "[B2] Fmax: 0; len_max: 1; col_max: B1; threshold_max: 0\n");
  EXPECT_TRUE(FileExists(dir / "res_C2_B1_1") && FileExists(dir / "res_B2_B1C1_5"));
}

}  // namespace
