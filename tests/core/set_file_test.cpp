#include "core/set_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "support/temp_dir.h"

namespace {

CShingle Record(unsigned char first_byte, unsigned char last_byte = 0) {
  CShingle shingle;
  shingle.text = "text";
  shingle.hash[0] = first_byte;
  shingle.hash[15] = last_byte;
  return shingle;
}

CShingleSet SetOf(std::initializer_list<CShingle> records) {
  CShingleSet set;
  set.list = records;
  return set;
}

int CountEntries(const std::string& dir) {
  auto entries = std::filesystem::directory_iterator(dir);
  return static_cast<int>(std::distance(begin(entries), end(entries)));
}

TEST(SetFile, SavesEveryRecordInDigestOrder) {
  TempDir dir;
  CShingleSet set = SetOf({Record(0x90), Record(0x10), Record(0x90)});
  saveShinglesToFile(dir / "p.bin", set);
  EXPECT_EQ(set.list.front().hash[0], 0x10);  // the caller's list is sorted too
  std::string bytes = ReadFile(dir / "p.bin");
  ASSERT_EQ(bytes.size(), 48u);
  EXPECT_EQ(bytes[0], '\x10');
  EXPECT_EQ(bytes.substr(16, 16), bytes.substr(32, 16));

  CShingleSet empty;
  saveShinglesToFile(dir / "p.bin", empty);
  EXPECT_EQ(ReadFile(dir / "p.bin"), "");
}

TEST(SetFile, LoadKeepsCompleteRecordsOnly) {
  TempDir dir;
  WriteFile(dir / "odd", std::string(16, 'a') + std::string(16, 'b') + std::string(8, 'c'));
  CShingleSet set = SetOf({Record(1)});
  set.total = 7;
  loadShinglesFromFile(dir / "odd", set);
  ASSERT_EQ(set.list.size(), 2u);
  const CShingle& second = set.list.back();
  EXPECT_EQ(second.hash[0], 'b');
  EXPECT_EQ(second.text, "");
  EXPECT_EQ(second.count, 1);
  EXPECT_EQ(second.doc_count, 1);
  EXPECT_EQ(set.total, 7);

  WriteFile(dir / "empty", "");
  loadShinglesFromFile(dir / "empty", set);
  EXPECT_TRUE(set.list.empty());
}

TEST(SetFile, RoundTripOverManyBlocks) {
  TempDir dir;
  CShingleSet set;
  for (int i = 0; i < 10000; ++i) set.list.push_back(Record(static_cast<unsigned char>(i), i >> 8));
  saveShinglesToFile(dir / "big", set);
  CShingleSet loaded;
  loadShinglesFromFile(dir / "big", loaded);
  ASSERT_EQ(loaded.list.size(), set.list.size());
  EXPECT_TRUE(std::equal(set.list.begin(), set.list.end(), loaded.list.begin(),
                         [](const CShingle& a, const CShingle& b) { return HashEqual(a.hash, b.hash); }));
}

TEST(SetFile, FailuresAreReportedAndLeaveTheTargetAlone) {
  TempDir dir;
  CShingleSet set = SetOf({Record(1)});
  testing::internal::CaptureStderr();
  saveShinglesToFile(dir / "missing/p.bin", set);
  saveShinglesToFile(dir.path(), set);
  loadShinglesFromFile(dir / "absent", set);
  loadShinglesFromFile(dir.path(), set);
  saveShinglesToFile("/dev/full", set);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error opening file: " + (dir / "missing/p.bin") + "\nError opening file: " +
                dir.path() + "\nError opening file: " + (dir / "absent") +
                "\nError opening file: " + dir.path() + "\nError writing file: /dev/full\n");
  EXPECT_EQ(set.list.size(), 1u);
}

TEST(SetFile, FailedWriteKeepsTheOldModel) {
  TempDir dir;
  const std::string target = dir / "p.bin";
  WriteFile(target, std::string(32, 'k'));
  pid_t pid = fork();
  if (pid == 0) {
    // A file size limit makes the write fail part way, as a full disk would.
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    CShingleSet set;
    for (int i = 0; i < 100000; ++i) set.list.push_back(Record(static_cast<unsigned char>(i)));
    saveShinglesToFile(target, set);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(ReadFile(target), std::string(32, 'k'));
  EXPECT_EQ(CountEntries(dir.path()), 1);  // no temporary file left behind
}

TEST(ShingleDump, FormatsDigestTextAndCounts) {
  CShingle shingle = Record(10, 255);
  shingle.count = 12;
  shingle.doc_count = 3;
  std::ostringstream out;
  OutputShingle(out, shingle) << ' ' << 255;
  EXPECT_EQ(out.str(), "[0a0000000000000000000000000000ff] \"text\" 12 3 255");

  std::istringstream hex("0aff");
  EXPECT_EQ(ReadHex(hex), 10);
  EXPECT_EQ(ReadHex(hex), 255);
}

TEST(ShingleStream, RecordOperatorsMoveSixteenBytes) {
  std::stringstream stream;
  stream << Record(7, 9);
  CShingle back;
  stream >> back;
  EXPECT_TRUE(stream);
  EXPECT_EQ(back.hash[15], 9);
  EXPECT_EQ(back.text, "");
  stream >> back;
  EXPECT_FALSE(stream);
}

}  // namespace
