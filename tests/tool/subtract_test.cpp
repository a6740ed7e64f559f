#include "tool/subtract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <set>

#include "support/temp_dir.h"

// Set files saved by the tool and a missing file are covered end to end.
namespace {

std::string Subtract(const std::string& first, const std::string& second) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ShingleSubtract(first, second);
  std::string out = testing::internal::GetCapturedStdout();
  return out + testing::internal::GetCapturedStderr();
}

TEST(Subtract, KeepsFirstFileOrderAndRepeats) {
  TempDir dir;
  std::string a(16, 'a'), b(16, 'b'), c(16, 'c');
  WriteFile(dir / "first", c + a + b + a + "tail");
  WriteFile(dir / "second", b + "12345678");  // 24 bytes: one record
  EXPECT_EQ(Subtract(dir / "first", dir / "second"), c + "\n" + a + "\n" + a + "\n");
  EXPECT_EQ(Subtract(dir / "first", dir / "first"), "");
  mkdir((dir / "dir").c_str(), 0700);  // opens, but is not a set file
  EXPECT_EQ(Subtract(dir / "first", dir / "dir"), "Error opening file(s)\n");
}

// A plain set difference for ascending, shuffled and sawtooth first files, so
// that every path of the look-up is taken.
TEST(Subtract, MatchesPlainSetDifference) {
  TempDir dir;
  std::mt19937 random(7);
  std::vector<std::string> digests(3000, std::string(16, '\0'));
  for (std::string& digest : digests)
    for (char& byte : digest) byte = static_cast<char>(random());
  std::sort(digests.begin(), digests.end());  // char_traits<char> compares bytes unsigned
  std::string second;
  std::set<std::string> removed;
  for (size_t i = 0; i < digests.size(); ++i)
    if (i % 3 == 0 || (i / 500) % 2 == 1) {  // dense runs and long gaps
      second += digests[i];
      removed.insert(digests[i]);
    }
  WriteFile(dir / "second", second);
  std::vector<std::string> shuffled = digests, sawtooth;
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  for (size_t i = 0; i < digests.size(); i += 2) sawtooth.push_back(digests[i * 7 % digests.size()]);
  for (const auto& order : {digests, shuffled, sawtooth}) {
    std::string first, expected;
    for (const std::string& digest : order) {
      first += digest;
      if (!removed.count(digest)) expected += digest + "\n";
    }
    WriteFile(dir / "first", first);
    EXPECT_EQ(Subtract(dir / "first", dir / "second"), expected);
  }
}

}  // namespace
