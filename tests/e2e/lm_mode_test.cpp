// The language-model mode run for real on a small Windows-1251 corpus
// (tests/data/lm). Protected: p1 "секретный проект ракета испытание", p2
// "полигон шифровка секретный документ"; unprotected (no shared word): u1
// "погода солнце прогулка", u2 "кошка собака рецепт пирожок". Documents: d1
// "секретный проект ракета", d2 = u1, d3 one word, d4 "кошка секретный
// проект", d5 "собака рецепт", d6 "рецепт пирожок".
// Loaded from set files every count is 1 and every total 0: a known word
// scores u = 1 / 0.01 = 100, a known pair r = 1 / 1.01, anything unknown 0.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
const std::string kCorpus = std::string(TESSEL_TEST_DATA) + "/lm";
const std::string kKey = "QUIV_SHINGLES_VALUE    = ";

// Cyrillic of the (UTF-8) test source in the single-byte code page.
std::string Cp1251(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if ((c == 0xD0 || c == 0xD1) && i + 1 < utf8.size())
      out.push_back(static_cast<char>((((c & 0x1F) << 6) | (utf8[++i] & 0x3F)) - 0x410 + 0xC0));
    else
      out.push_back(static_cast<char>(c));
  }
  return out;
}

// Standard output split into each data file's part (after its name and tab, up
// to its verdict line) and the rest, since files come in directory order.
struct Report {
  std::map<std::string, std::string> files;
  std::string rest;
};

Report Split(const std::string& out) {
  Report report;
  std::istringstream lines(out);
  std::string* current = nullptr;
  for (std::string line; std::getline(lines, line);) {
    line += "\n";
    size_t tab = line.find('\t');
    if (!current && line.rfind("docs/", 0) == 0 && tab != std::string::npos) {
      current = &report.files[line.substr(0, tab)];
      line.erase(0, tab + 1);
    }
    (current ? *current : report.rest) += line;
    if (current && (line == "true\n" || line == "false\n")) current = nullptr;
  }
  return report;
}

std::string LastLine(const std::string& text) {
  size_t start = text.size() < 2 ? std::string::npos : text.rfind('\n', text.size() - 2);
  return start == std::string::npos ? text : text.substr(start + 1);
}

// Gives the files of a directory these contents, in the order in which a
// directory search (and so the tool's file lists) returns them.
void FillInListOrder(const std::string& dir, const std::vector<std::string>& contents) {
  std::vector<fs::path> names{fs::directory_iterator(dir), fs::directory_iterator()};
  ASSERT_EQ(names.size(), contents.size());
  for (size_t i = 0; i < names.size(); ++i) WriteFile(names[i], contents[i]);
}

class LmMode : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* part : {"prot", "plain", "docs"}) fs::copy(kCorpus + "/" + part, dir / part);
    WriteFile(dir / "docs/d2.hdr", "From: b");  // no final line feed; d1.hdr is missing
    WriteFile(dir / "docs/d3.hdr", "keep\n");
    WriteFile(dir / "docs/d4.hdr", "From: d\n");
    mkdir((dir / "docs/d5.hdr").c_str(), 0700);  // a directory cannot be a header
    ASSERT_EQ(symlink("missing-dir/d6.hdr", (dir / "docs/d6.hdr").c_str()), 0);
  }

  ProcessResult Run(std::vector<std::string> args) { return RunTessel(args, dir.path()); }

  void Train() {
    ProcessResult trained = Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-v", "-o", "1"});
    ASSERT_EQ(trained.status, 0);
    ASSERT_EQ(trained.out, "");
  }

  ProcessResult Judge(const std::string& formula, bool log) {
    std::vector<std::string> args = {"-f", "-p", "p.bin", "-u", "u.bin", "-d", "docs/*.txt", "-o", formula};
    if (log) args.push_back("--lm-log");
    return Run(args);
  }

  TempDir dir;
};

struct Case {
  std::string formula;
  bool log;
  std::string d1, d4;  // everything written for the file after its tab
  std::string evaluation;
};

// d2, d5, d6 are unprotected text (false everywhere), d3 has no pair and no
// line. With -f no protected text is judged again: p_p, p_u, Recall, F are 0.
// Each verdict is recorded once: later runs warn (d4 would become 1 with -o 7),
// and headers that cannot be written (d5, d6) are reported as the run goes on.
TEST_F(LmMode, SavesSetsJudgesWithEachFormulaAndRecordsVerdictsOnce) {
  Train();
  // One record per word (or pair) per file: p1 and p2 both hold секретный.
  EXPECT_EQ(ReadFile(dir / "p.bin").size(), 8u * 16);
  EXPECT_EQ(ReadFile(dir / "p.bin.2").size(), 6u * 16);
  EXPECT_EQ(ReadFile(dir / "u.bin").size(), 7u * 16);
  EXPECT_EQ(ReadFile(dir / "u.bin.2").size(), 5u * 16);
  EXPECT_FALSE(FileExists(dir / "title"));  // nothing judged, no evaluation

  const std::string phrase = Cp1251("СЕКРЕТНЫЙ ПРОЕКТ РАКЕТА");
  const std::vector<Case> cases = {
      // S_P = 100 * (1/1.01) * (1/1.01) over the two pairs, S_U = 0.
      {"1", false, "values: \t98.0296\t0\nstring:\n" + phrase + "\ntrue\n", "false\n",
       "1\t1\t10\t0\t0\t0\t0\t1\t4\t0\t0\t0\t0.8\t0\n"},
      // S_P = ln 101 + 2 ln(1 + 1/1.01); d4 has S_P 0.688 < S_U 4.615.
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
    fs::remove(dir / "docs/d1.hdr");
    ProcessResult result = Judge(c.formula, c.log);
    EXPECT_EQ(result.status, 0);
    Report report = Split(result.out);
    std::map<std::string, std::string> expected = {{"docs/d1.txt", c.d1}, {"docs/d2.txt", "false\n"},
                                                   {"docs/d4.txt", c.d4}, {"docs/d5.txt", "false\n"},
                                                   {"docs/d6.txt", "false\n"}};
    EXPECT_EQ(report.files, expected);
    EXPECT_EQ(LastLine(result.err), c.evaluation);
    EXPECT_EQ(report.rest.find("values:"), std::string::npos);  // nothing else was judged
    EXPECT_EQ(ReadFile(dir / "title"),
              "lm_threshold_1\tlm_threshold_2\tlm_length\tlm_lambda\tlm_lambda0\tlm_log\tlm_factor\t"
              "p_count\tu_count\tp_p_count\tp_u_count\tRecall\tPrecision\tF\n");
    bool d1_protected = c.d1.find("true") != std::string::npos;
    EXPECT_EQ(ReadFile(dir / "docs/d1.hdr"), "\n" + kKey + (d1_protected ? "1" : "0") + "\n");
    const bool again = &c != &cases[0];
    for (const char* name : {"d2", "d4"})
      EXPECT_EQ(report.rest.find("Warning; file \"docs/" + std::string(name) + ".hdr\" was already upgraded.\n")
                    != std::string::npos, again) << name;
    for (const char* name : {"d5", "d6"})
      EXPECT_NE(result.err.find("Error opening file: docs/" + std::string(name) + ".hdr\n"), std::string::npos);
  }
  EXPECT_EQ(ReadFile(dir / "docs/d2.hdr"), "From: b\n" + kKey + "0\n");
  EXPECT_EQ(ReadFile(dir / "docs/d3.hdr"), "keep\n");  // no pair: skipped
  EXPECT_EQ(ReadFile(dir / "docs/d4.hdr"), "From: d\n" + kKey + "0\n");
}

// Trained in the same run counts and totals are real: T_P = 8 words, so for d1
// S_P = (1/8.01) * (1/1.01)^2; both protected files are judged again (recall 1).
// With -e every document word shared with a trained set is found, whatever the
// order of the words in the text and of the files in the trained lists: with
// p2 read first, a walk over the word list as built (file by file) would pass
// РАКЕТА and ПРОЕКТ (p1's words sort below and among p2's) and find СЕКРЕТНЫЙ alone.
TEST_F(LmMode, TrainsAndJudgesInOneRun) {
  FillInListOrder(dir / "prot", {ReadFile(kCorpus + "/prot/p2.txt"), ReadFile(kCorpus + "/prot/p1.txt")});
  WriteFile(dir / "prot/empty.txt", "");  // adds nothing; left out of recall
  ProcessResult result = Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "docs/*.txt", "-o", "1"});
  Report report = Split(result.out);
  EXPECT_EQ(report.files["docs/d1.txt"],
            "values: \t0.122384\t0\nstring:\n" + Cp1251("СЕКРЕТНЫЙ ПРОЕКТ РАКЕТА") + "\ntrue\n");
  EXPECT_EQ(report.files["docs/d4.txt"], "false\n");
  EXPECT_EQ(LastLine(result.err), "1\t1\t10\t0\t0\t0\t0\t1\t4\t2\t0\t1\t0.8\t0.8\n");
  EXPECT_NE(result.err.find("Empty file: prot/empty.txt\n"), std::string::npos);

  fs::remove(dir / "docs/d1.hdr");
  report = Split(Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "docs/d1.txt", "-o", "1", "-e"}).out);
  EXPECT_EQ(report.files["docs/d1.txt"],
            "values: \t0.122384\t0\ncount: 1 string: " + Cp1251("СЕКРЕТНЫЙ ПРОЕКТ РАКЕТА") + "\ntrue\n");
  const std::string block =  // the three words of d1, by text, counts 1
      "\n\nProtected:\n"
      "\t[bfa483bff9447c0e26d8247992c08f36] \"" + Cp1251("ПРОЕКТ") + "\" 1 1\n"
      "\t[23052ee45dab6844ce491780720caf62] \"" + Cp1251("РАКЕТА") + "\" 1 1\n"
      "\t[51de9769752c2af6bbf462620908f87d] \"" + Cp1251("СЕКРЕТНЫЙ") + "\" 1 1\n"
      "Total protected :3\nUnprotected:\nTotal unprotected:0\nCommon:\nTotal common:0\n";
  EXPECT_EQ(report.rest.substr(0, block.size()), block);
}

// A negative formula number is refused before anything is built, judged or written.
TEST_F(LmMode, NegativeFormulaIsRefused) {
  ProcessResult result = Run({"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "docs/*.txt", "-o", "-1", "-v"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Error: lm-formula must not be negative: -1\n");
  EXPECT_EQ(ReadFile(dir / "docs/d4.hdr"), "From: d\n");
  EXPECT_FALSE(FileExists(dir / "docs/d1.hdr"));
  EXPECT_FALSE(FileExists(dir / "p.bin"));
  EXPECT_FALSE(FileExists(dir / "title"));
}

// The pair "тайный вывод" is protected (shared.txt) and unprotected, so --lm-sub
// removes it from both pair sets and the document made of it scores 0 on both
// sides: false. blocker.txt holds a pair whose digest is above every
// unprotected pair and is read first: a merge over the lists as built would
// keep the shared pair and judge the document protected (1/4.01 * 1/1.01
// against 1/30.01 * 1/1.01). Saving with -v sorts the lists; both must agree.
TEST(LmModeSub, SharedPairsAreRemovedWithAndWithoutSaving) {
  TempDir dir;
  for (const char* sub : {"prot", "plain", "docs"}) mkdir((dir / sub).c_str(), 0700);
  WriteFile(dir / "prot/a.txt", "");
  WriteFile(dir / "prot/b.txt", "");
  FillInListOrder(dir / "prot", {ReadFile(kCorpus + "/sub/blocker.txt"), ReadFile(kCorpus + "/sub/shared.txt")});
  WriteFile(dir / "plain/u.txt", ReadFile(kCorpus + "/sub/plain.txt"));
  WriteFile(dir / "docs/xy.txt", ReadFile(kCorpus + "/sub/xy.txt"));

  std::vector<std::string> args = {"-p", "prot/*.txt", "-u", "plain/*.txt", "-d", "docs/*.txt", "-o", "1", "--lm-sub"};
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
  fs::rename(dir / "p.bin", dir / "all.bin");
  ASSERT_EQ(Run({"-p", "prot/p2.txt", "-v", "-o", "1"}).status, 0);
  ProcessResult result = Run({"-b", "-p", "all.bin", "-u", "p.bin", "-d", "docs/*.txt", "-t", "missing.txt"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  // all.bin less p2's words: the MD5 digests of p1's own РАКЕТА, ИСПЫТАНИЕ and
  // ПРОЕКТ in digest order, each followed by a line feed.
  std::string expected;
  for (const char* hex : {"23052ee45dab6844ce491780720caf62", "aa62aa2bdef52b3f3f0d72e2f2e19b0e",
                          "bfa483bff9447c0e26d8247992c08f36"}) {
    for (int i = 0; i < 32; i += 2) expected.push_back(static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    expected.push_back('\n');
  }
  EXPECT_EQ(result.out, expected);
  EXPECT_FALSE(FileExists(dir / "docs/d1.hdr"));
  EXPECT_EQ(Run({"-b", "-p", "all.bin", "-u", "nothing.bin"}).err, "Error opening file(s)\n");
}

}  // namespace
