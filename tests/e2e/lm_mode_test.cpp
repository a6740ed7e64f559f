// The language-model mode of the tool, run for real on a small Windows-1251
// corpus (tests/data/lm). Protected words: p1 "секретный проект ракета
// испытание", p2 "полигон шифровка секретный документ"; unprotected: u1
// "погода солнце прогулка", u2 "кошка собака рецепт пирожок". The two
// vocabularies are disjoint. Documents: d1 "секретный проект ракета" (a run
// of p1), d2 = u1, d3 a single word, d4 "кошка секретный проект", d5 "собака
// рецепт", d6 "рецепт пирожок".
//
// Loaded from set files every count is 1 and every total 0, so with the
// default settings a word known to a side scores u = 1 / 0.01 = 100, a known
// pair r = 1 / 1.01, anything unknown 0.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

const std::string kCorpus = std::string(TESSEL_TEST_DATA) + "/lm";
const std::string kKey = "QUIV_SHINGLES_VALUE    = ";
const std::string kTitle =
    "lm_threshold_1\tlm_threshold_2\tlm_length\tlm_lambda\tlm_lambda0\tlm_log\tlm_factor\t"
    "p_count\tu_count\tp_p_count\tp_u_count\tRecall\tPrecision\tF\n";

// Cyrillic text of the test source (UTF-8) in the single-byte code page.
std::string Cp1251(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if ((c == 0xD0 || c == 0xD1) && i + 1 < utf8.size()) {
      int code = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
      out.push_back(static_cast<char>(code - 0x410 + 0xC0));
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

// Standard output split into the part of each data file (after its name and
// the tab, up to its verdict line) and everything else, since the files come
// in directory order.
struct Report {
  std::map<std::string, std::string> files;
  std::string rest;
};

Report Split(const std::string& out) {
  Report report;
  std::istringstream lines(out);
  std::string line;
  std::string* current = nullptr;
  while (std::getline(lines, line)) {
    line += "\n";
    size_t tab = line.find('\t');
    if (current == nullptr && line.rfind("docs/", 0) == 0 && tab != std::string::npos) {
      current = &report.files[line.substr(0, tab)];
      line.erase(0, tab + 1);
    }
    if (current == nullptr) {
      report.rest += line;
      continue;
    }
    *current += line;
    if (line == "true\n" || line == "false\n") current = nullptr;
  }
  return report;
}

// The last line of a text that ends with a line feed, with its line feed.
std::string LastLine(const std::string& text) {
  if (text.size() < 2) return text;
  size_t start = text.rfind('\n', text.size() - 2);
  return start == std::string::npos ? text : text.substr(start + 1);
}

// The order in which a directory search (and so the tool's file lists)
// returns the entries of a directory.
std::vector<std::string> DirectoryOrder(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(path.c_str())) {
    while (dirent* entry = readdir(listing))
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    closedir(listing);
  }
  return names;
}

class LmMode : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* part : {"prot", "plain", "docs"})
      std::filesystem::copy(kCorpus + "/" + part, dir / part);
    WriteFile(dir / "docs/d1.hdr", "From: a\n");
    WriteFile(dir / "docs/d2.hdr", "From: b");  // no final line feed
    WriteFile(dir / "docs/d3.hdr", "keep\n");
    mkdir((dir / "docs/d5.hdr").c_str(), 0700);  // a directory cannot be a header
    // A header whose directory does not exist.
    ASSERT_EQ(symlink("missing-dir/d6.hdr", (dir / "docs/d6.hdr").c_str()), 0);
  }

  ProcessResult Run(std::vector<std::string> args) { return RunTessel(args, dir.path()); }

  void Train() {
    ProcessResult trained = Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-v", "-o", "1"});
    ASSERT_EQ(trained.status, 0);
    ASSERT_EQ(trained.out, "");
  }

  ProcessResult Judge(const std::string& formula, bool log) {
    std::vector<std::string> args = {"-f", "-p", "p.bin", "-u", "u.bin", "-d", "docs/*.txt",
                                     "-o", formula};
    if (log) args.push_back("--lm-log");
    return Run(args);
  }

  TempDir dir;
};

TEST_F(LmMode, TrainingSavesWordAndPairSets) {
  Train();
  // One record per word (or pair) per file: p1 and p2 both hold секретный.
  EXPECT_EQ(ReadFile(dir / "p.bin").size(), 8u * 16);
  EXPECT_EQ(ReadFile(dir / "p.bin.2").size(), 6u * 16);
  EXPECT_EQ(ReadFile(dir / "u.bin").size(), 7u * 16);
  EXPECT_EQ(ReadFile(dir / "u.bin.2").size(), 5u * 16);
  EXPECT_FALSE(FileExists(dir / "title"));  // nothing judged, no evaluation
}

struct Case {
  std::string formula;
  bool log;
  std::string d1;  // everything written for d1 after its tab
  std::string d4;
  std::string evaluation;
};

// d2, d5 and d6 are unprotected text and judged false everywhere, d3 has no
// pair and no line. With -f there are no protected texts to judge again, so
// p_p_count and p_u_count are 0, and so are Recall and F.
TEST_F(LmMode, JudgesWithEachFormulaFromSetFiles) {
  Train();
  const std::string phrase = Cp1251("СЕКРЕТНЫЙ ПРОЕКТ РАКЕТА");
  const std::vector<Case> cases = {
      // S_P = 100 * (1/1.01) * (1/1.01) over the two pairs, S_U = 0.
      {"1", false, "values: \t98.0296\t0\nstring:\n" + phrase + "\ntrue\n", "false\n",
       "1\t1\t10\t0\t0\t0\t0\t1\t4\t0\t0\t0\t0.8\t0\n"},
      // S_P = ln 101 + 2 ln(1 + 1/1.01) = 5.99149; d4 has S_P 0.688 < S_U 4.615.
      {"1", true, "values: \t5.99149\t0\nstring:\n" + phrase + "\ntrue\n", "false\n",
       "1\t1\t10\t0\t0\t1\t0\t1\t4\t0\t0\t0\t0.8\t0\n"},
      // Totals 0 make every frequency infinite and every score not a number.
      {"2", false, "false\n", "false\n", "1\t1\t10\t0\t0\t0\t0\t0\t5\t0\t0\t0\t1\t0\n"},
      {"2", true, "false\n", "false\n", "1\t1\t10\t0\t0\t1\t0\t0\t5\t0\t0\t0\t1\t0\n"},
      // Unigrams: S_P = 100^3; d4 starts with a word unknown to the protected side.
      {"3", false, "values: \t1e+06\t0\nString:\n " + phrase + "\ntrue\n", "false\n",
       "1\t1\t10\t0\t0\t0\t0\t1\t4\t0\t0\t0\t0.8\t0\n"},
      // S_P = 3 ln 101; d4: S_P = 2 ln 101 >= S_U = ln 101.
      {"7", true, "values: \t13.8454\t0\nString:\n " + phrase + "\ntrue\n",
       "values: \t9.23024\t4.61512\nString:\n " + Cp1251("КОШКА СЕКРЕТНЫЙ ПРОЕКТ") + "\ntrue\n",
       "1\t1\t10\t0\t0\t1\t0\t2\t3\t0\t0\t0\t0.6\t0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("-o " + c.formula + (c.log ? " --lm-log" : ""));
    std::filesystem::remove(dir / "docs/d1.hdr");
    ProcessResult result = Judge(c.formula, c.log);
    EXPECT_EQ(result.status, 0);
    Report report = Split(result.out);
    std::map<std::string, std::string> expected = {{"docs/d1.txt", c.d1},
                                                   {"docs/d2.txt", "false\n"},
                                                   {"docs/d4.txt", c.d4},
                                                   {"docs/d5.txt", "false\n"},
                                                   {"docs/d6.txt", "false\n"}};
    EXPECT_EQ(report.files, expected);
    EXPECT_EQ(LastLine(result.err), c.evaluation);
    EXPECT_EQ(report.rest.find("values:"), std::string::npos);  // nothing else was judged
    EXPECT_EQ(ReadFile(dir / "title"), kTitle);
    bool d1_protected = c.d1.find("true") != std::string::npos;
    EXPECT_EQ(ReadFile(dir / "docs/d1.hdr"), "\n" + kKey + (d1_protected ? "1" : "0") + "\n");
  }
}

TEST_F(LmMode, RecordsEachVerdictOnceInTheHeaderFile) {
  Train();
  ProcessResult first = Judge("1", false);
  EXPECT_EQ(ReadFile(dir / "docs/d1.hdr"), "From: a\n" + kKey + "1\n");
  EXPECT_EQ(ReadFile(dir / "docs/d2.hdr"), "From: b\n" + kKey + "0\n");
  EXPECT_EQ(ReadFile(dir / "docs/d3.hdr"), "keep\n");  // no pair: skipped
  EXPECT_EQ(ReadFile(dir / "docs/d4.hdr"), "\n" + kKey + "0\n");
  EXPECT_NE(first.err.find("Error opening file: docs/d5.hdr\n"), std::string::npos);
  EXPECT_NE(first.err.find("Error opening file: docs/d6.hdr\n"), std::string::npos);
  EXPECT_EQ(Split(first.out).rest.find("Warning"), std::string::npos);

  ProcessResult second = Judge("3", true);  // d4 would now be 1
  std::string rest = Split(second.out).rest;
  for (const char* name : {"d1", "d2", "d4"})
    EXPECT_NE(rest.find("Warning; file \"docs/" + std::string(name) + ".hdr\" was already upgraded.\n"),
              std::string::npos)
        << name;
  EXPECT_EQ(ReadFile(dir / "docs/d4.hdr"), "\n" + kKey + "0\n");
  EXPECT_EQ(ReadFile(dir / "docs/d2.hdr"), "From: b\n" + kKey + "0\n");

}

TEST_F(LmMode, ReadOnlyHeaderIsReportedAndTheRunGoesOn) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
  Train();
  std::filesystem::remove(dir / "docs/d2.hdr");
  WriteFile(dir / "docs/d2.hdr", "read only\n");
  chmod((dir / "docs/d2.hdr").c_str(), 0444);
  ProcessResult third = Judge("1", false);
  EXPECT_NE(third.err.find("Error opening file: docs/d2.hdr\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "docs/d2.hdr"), "read only\n");
  EXPECT_EQ(Split(third.out).files.size(), 5u);  // the run went on
}

// Trained in the same run: counts and totals are real. T_P = 8 words, so
// for d1 S_P = (1/8.01) * (1/1.01) * (1/1.01); both protected files are
// judged protected again (recall 1).
TEST_F(LmMode, TrainsAndJudgesInOneRun) {
  WriteFile(dir / "prot/empty.txt", "");  // adds nothing; left out of recall
  ProcessResult result =
      Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "docs/*.txt", "-o", "1"});
  Report report = Split(result.out);
  EXPECT_EQ(report.files["docs/d1.txt"],
            "values: \t0.122384\t0\nstring:\n" + Cp1251("СЕКРЕТНЫЙ ПРОЕКТ РАКЕТА") + "\ntrue\n");
  EXPECT_EQ(report.files["docs/d4.txt"], "false\n");
  EXPECT_EQ(LastLine(result.err), "1\t1\t10\t0\t0\t0\t0\t1\t4\t2\t0\t1\t0.8\t0.8\n");
  EXPECT_NE(result.err.find("Empty file: prot/empty.txt\n"), std::string::npos);

  // A name without a dot loses all of itself: the header is "hdr".
  std::filesystem::copy(dir / "docs/d1.txt", dir / "memo");
  Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "memo", "-o", "1"});
  EXPECT_EQ(ReadFile(dir / "hdr"), "\n" + kKey + "1\n");
}

// A negative formula number names no formula: the run is refused before
// anything is built, judged or written.
TEST_F(LmMode, NegativeFormulaIsRefused) {
  ProcessResult result = Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "docs/*.txt",
                              "-o", "-1", "-v"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Error: lm-formula must not be negative: -1\n");
  EXPECT_EQ(ReadFile(dir / "docs/d1.hdr"), "From: a\n");
  EXPECT_FALSE(FileExists(dir / "docs/d4.hdr"));
  EXPECT_FALSE(FileExists(dir / "p.bin"));
  EXPECT_FALSE(FileExists(dir / "title"));
}

// With -e every document word shared with a trained set is found, whatever
// the order of the words in the text and of the files in the trained lists:
// all three words of d1 are protected words (listed by text, counts 1).
TEST_F(LmMode, DetailedOutputCountsEverySharedWord) {
  Train();
  const std::string block =
      "\n\nProtected:\n"
      "\t[bfa483bff9447c0e26d8247992c08f36] \"" + Cp1251("ПРОЕКТ") + "\" 1 1\n"
      "\t[23052ee45dab6844ce491780720caf62] \"" + Cp1251("РАКЕТА") + "\" 1 1\n"
      "\t[51de9769752c2af6bbf462620908f87d] \"" + Cp1251("СЕКРЕТНЫЙ") + "\" 1 1\n"
      "Total protected :3\nUnprotected:\nTotal unprotected:0\nCommon:\nTotal common:0\n";
  const std::string tally = "count: 1 string: " + Cp1251("СЕКРЕТНЫЙ ПРОЕКТ РАКЕТА") + "\n";
  ProcessResult loaded = Run({"-f", "-p", "p.bin", "-u", "u.bin", "-d", "docs/d1.txt", "-o", "1", "-e"});
  Report report = Split(loaded.out);
  EXPECT_EQ(report.files["docs/d1.txt"], "values: \t98.0296\t0\n" + tally + "true\n");
  EXPECT_EQ(report.rest.substr(0, block.size()), block);

  // Trained in the run, the protected word list is ordered file by file. The
  // file read first gets p2's text; a walk over the list as built would then
  // pass РАКЕТА and ПРОЕКТ (p1's words sort below and among p2's) and find
  // СЕКРЕТНЫЙ alone.
  std::vector<std::string> order = DirectoryOrder(dir / "prot");
  ASSERT_EQ(order.size(), 2u);
  WriteFile(dir / ("prot/" + order[0]), ReadFile(kCorpus + "/prot/p2.txt"));
  WriteFile(dir / ("prot/" + order[1]), ReadFile(kCorpus + "/prot/p1.txt"));
  std::filesystem::remove(dir / "docs/d1.hdr");
  ProcessResult built =
      Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "docs/d1.txt", "-o", "1", "-e"});
  report = Split(built.out);
  EXPECT_EQ(report.files["docs/d1.txt"], "values: \t0.122384\t0\n" + tally + "true\n");
  EXPECT_EQ(report.rest.substr(0, block.size()), block);
}

// The pair "тайный вывод" is protected (file shared.txt) and unprotected, so
// --lm-sub removes it from both pair sets and the document made of it scores
// 0 on both sides: false. The other protected file, blocker.txt, holds a pair
// whose digest is above every unprotected pair, and is put first in directory
// order: a merge over the pair lists as built, file after file, would leave
// the shared pair in both sets and judge the document protected
// (1/4.01 * 1/1.01 against 1/30.01 * 1/1.01). Saving with -v sorts the lists,
// so both runs must agree.
TEST(LmModeSub, SharedPairsAreRemovedWithAndWithoutSaving) {
  TempDir dir;
  for (const char* sub : {"prot", "plain", "docs"}) mkdir((dir / sub).c_str(), 0700);
  WriteFile(dir / "prot/a.txt", "");
  WriteFile(dir / "prot/b.txt", "");
  std::vector<std::string> order = DirectoryOrder(dir / "prot");
  ASSERT_EQ(order.size(), 2u);
  WriteFile(dir / ("prot/" + order[0]), ReadFile(kCorpus + "/sub/blocker.txt"));
  WriteFile(dir / ("prot/" + order[1]), ReadFile(kCorpus + "/sub/shared.txt"));
  WriteFile(dir / "plain/u.txt", ReadFile(kCorpus + "/sub/plain.txt"));
  WriteFile(dir / "docs/xy.txt", ReadFile(kCorpus + "/sub/xy.txt"));

  std::vector<std::string> args = {"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "docs/*.txt",
                                   "-o", "1", "--lm-sub"};
  ProcessResult unsaved = RunTessel(args, dir.path());
  args.push_back("-v");
  ProcessResult saved = RunTessel(args, dir.path());
  EXPECT_EQ(Split(unsaved.out).files["docs/xy.txt"], "false\n");
  EXPECT_EQ(Split(saved.out).files["docs/xy.txt"], "false\n");
  EXPECT_EQ(LastLine(unsaved.err), LastLine(saved.err));
}

// -b runs the subtraction alone: no stop words are loaded (the missing file
// would be reported), no document is judged, no header file is written.
TEST_F(LmMode, SubtractsSavedSetFiles) {
  Train();
  std::filesystem::rename(dir / "p.bin", dir / "all.bin");
  ASSERT_EQ(Run({"-p", "prot/p2.txt", "-v", "-o", "1"}).status, 0);
  ProcessResult result =
      Run({"-b", "-p", "all.bin", "-u", "p.bin", "-d", "docs/*.txt", "-t", "missing.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  // all.bin less p2's words leaves p1's own words in digest order: the MD5
  // digests of РАКЕТА, ИСПЫТАНИЕ and ПРОЕКТ, each followed by a line feed.
  std::string expected;
  for (const char* hex : {"23052ee45dab6844ce491780720caf62", "aa62aa2bdef52b3f3f0d72e2f2e19b0e",
                          "bfa483bff9447c0e26d8247992c08f36"}) {
    for (int i = 0; i < 32; i += 2) expected.push_back(static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    expected.push_back('\n');
  }
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(ReadFile(dir / "docs/d1.hdr"), "From: a\n");

  ProcessResult missing = Run({"-b", "-p", "all.bin", "-u", "nothing.bin"});
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "Error opening file(s)\n");
}

}  // namespace
