#include "tool/set_tools.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/set_file.h"
#include "support/temp_dir.h"

namespace {

// A 16-byte record ordered by its first byte; the last byte tells twins apart.
std::string Rec(unsigned char first, unsigned char last = 0) {
  std::string record(16, '\0');
  record[0] = static_cast<char>(first);
  record[15] = static_cast<char>(last);
  return record;
}

struct Outcome {
  int status;
  std::string out, err;
};

Outcome RunOp(int (*operation)(const std::string&, std::ostream&, std::ostream&), const std::string& path) {
  std::ostringstream out, err;
  int status = operation(path, out, err);
  return {status, out.str(), err.str()};
}

TEST(SetTools, InfoVerifyAndDumpNameWhatIsWrong) {
  TempDir dir;
  // Sorted with one repeated digest: 4 records, 3 distinct.
  WriteFile(dir / "p.bin", Rec(1) + Rec(2) + Rec(2) + Rec(0xf0));
  Outcome info = RunOp(SetsInfo, dir / "p.bin");
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out, "file: " + (dir / "p.bin") +
                          "\nrecords: 4\ndistinct digests: 3\nascending: yes\ntrailing partial record bytes: 0\n");
  Outcome verify = RunOp(SetsVerify, dir / "p.bin");
  EXPECT_EQ(verify.status, 0);
  EXPECT_EQ(verify.out, dir / "p.bin" + ": ok, 4 records\n");
  WriteFile(dir / "empty", "");  // an empty set saves as an empty file
  EXPECT_EQ(RunOp(SetsVerify, dir / "empty").status, 0);

  // Out of order at record 2 (0x80 after 0x90, bytes unsigned), a digest
  // repeated apart from its twin, and 8 bytes of a partial record.
  const std::string bad = dir / "bad";
  WriteFile(bad, Rec(1) + Rec(0x90) + Rec(0x80) + Rec(0x90) + std::string(8, 'x'));
  info = RunOp(SetsInfo, bad);
  EXPECT_EQ(info.status, 1);
  EXPECT_NE(info.out.find("records: 4\ndistinct digests: 3\nascending: no\ntrailing partial record bytes: 8\n"),
            std::string::npos);
  verify = RunOp(SetsVerify, bad);
  EXPECT_EQ(verify.status, 1);
  EXPECT_EQ(verify.out, "");
  EXPECT_EQ(verify.err, bad + ": size 72 is not a multiple of 16 (8 trailing bytes)\n" + bad +
                            ": records out of order (record 2 is below record 1)\n");
  for (const std::string& unreadable : {dir / "missing", dir.path()}) {
    verify = RunOp(SetsVerify, unreadable);
    EXPECT_EQ(verify.status, 1);
    EXPECT_EQ(verify.err, "Error opening file: " + unreadable + "\n");
  }

  // Records read from a file have no text and counts of 1.
  WriteFile(dir / "dump", Rec(10, 255) + "tail");
  Outcome dump = RunOp(SetsDump, dir / "dump");
  EXPECT_EQ(dump.out, "[0a0000000000000000000000000000ff] \"\" 1 1\n");
  EXPECT_EQ(dump.err, dir / "dump" + ": 4 trailing bytes ignored\n");
}

TEST(SetTools, MergeEqualsSavingTheCombinedList) {
  TempDir dir;
  WriteFile(dir / "a", Rec(1) + Rec(5) + Rec(5) + Rec(9));
  WriteFile(dir / "b", Rec(0) + Rec(5) + Rec(0xff));
  WriteFile(dir / "c", "");
  std::ostringstream err;
  ASSERT_EQ(SetsMerge(dir / "m", {dir / "a", dir / "b", dir / "c"}, err), 0) << err.str();
  CShingleSet all, part;
  loadShinglesFromFile(dir / "a", all);
  loadShinglesFromFile(dir / "b", part);
  all.list.splice(all.list.end(), part.list);
  saveShinglesToFile(dir / "expected", all);
  EXPECT_EQ(ReadFile(dir / "m"), ReadFile(dir / "expected"));
  EXPECT_EQ(ReadFile(dir / "m").size(), 7u * 16);  // duplicates are kept
  // The output may be one of the inputs: it is replaced only at the end.
  ASSERT_EQ(SetsMerge(dir / "a", {dir / "a", dir / "b"}, err), 0);
  EXPECT_EQ(ReadFile(dir / "a"), ReadFile(dir / "expected"));
}

TEST(SetTools, FailedMergeLeavesTheOutputAlone) {
  TempDir dir;
  WriteFile(dir / "good", Rec(1) + Rec(2));
  WriteFile(dir / "unsorted", Rec(3) + Rec(1));
  WriteFile(dir / "partial", Rec(3) + "xyz");
  WriteFile(dir / "out", "old");
  for (const char* damaged : {"unsorted", "partial", "missing"}) {
    std::ostringstream err;
    EXPECT_EQ(SetsMerge(dir / "out", {dir / "good", dir / damaged}, err), 1) << damaged;
    EXPECT_EQ(ReadFile(dir / "out"), "old");
  }
  std::ostringstream full, directory;
  EXPECT_EQ(SetsMerge("/dev/full", {dir / "good"}, full), 1);
  EXPECT_EQ(full.str(), "Error writing file: /dev/full\n");
  EXPECT_EQ(SetsMerge(dir.path(), {dir / "good"}, directory), 1);
  EXPECT_EQ(directory.str(), "Error opening file: " + dir.path() + "\n");
}

}  // namespace
