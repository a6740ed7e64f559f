#include "tool/subtract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

struct Output {
  std::string out;
  std::string err;
};

Output Subtract(const std::string& first, const std::string& second) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  ShingleSubtract(first, second);
  Output result;
  result.out = testing::internal::GetCapturedStdout();
  result.err = testing::internal::GetCapturedStderr();
  return result;
}

std::string Digest(char fill) { return std::string(16, fill); }

TEST(Subtract, KeepsFirstFileOrderAndRepeats) {
  TempDir dir;
  std::string a = Digest('a'), b = Digest('b'), c = Digest('c');
  WriteFile(dir / "first", c + a + b + a + "tail");
  WriteFile(dir / "second", b + "12345678");  // 40 bytes less 16: one record
  Output result = Subtract(dir / "first", dir / "second");
  EXPECT_EQ(result.out, c + "\n" + a + "\n" + a + "\n");
  EXPECT_EQ(result.err, "");

  WriteFile(dir / "empty", "");
  EXPECT_EQ(Subtract(dir / "first", dir / "empty").out, c + "\n" + a + "\n" + b + "\n" + a + "\n");
  EXPECT_EQ(Subtract(dir / "empty", dir / "first").out, "");
  EXPECT_EQ(Subtract(dir / "first", dir / "first").out, "");
}

TEST(Subtract, FileThatCannotBeOpenedStopsEverything) {
  TempDir dir;
  WriteFile(dir / "first", Digest('a'));
  mkdir((dir / "dir").c_str(), 0700);
  for (const std::string& second : {dir / "missing", dir / "dir"}) {
    Output result = Subtract(dir / "first", second);
    EXPECT_EQ(result.out, "") << second;
    EXPECT_EQ(result.err, "Error opening file(s)\n") << second;
  }
  EXPECT_EQ(Subtract(dir / "missing", dir / "first").err, "Error opening file(s)\n");
}

// Compares with a plain set difference, for ascending, shuffled and partly
// ascending first files, so that every path of the look-up is taken.
TEST(Subtract, MatchesPlainSetDifference) {
  TempDir dir;
  std::mt19937 random(7);
  std::vector<std::string> digests(3000);
  for (std::string& digest : digests) {
    digest.resize(16);
    for (char& byte : digest) byte = static_cast<char>(random() & 0xFF);
  }
  std::sort(digests.begin(), digests.end(), [](const std::string& x, const std::string& y) {
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(),
                                        [](char p, char q) {
                                          return static_cast<unsigned char>(p) <
                                                 static_cast<unsigned char>(q);
                                        });
  });
  std::string second;
  std::set<std::string> removed;
  for (size_t i = 0; i < digests.size(); ++i) {
    // Dense runs and long gaps, so the cursor both steps and jumps.
    if (i % 3 == 0 || (i / 500) % 2 == 1) {
      second += digests[i];
      removed.insert(digests[i]);
    }
  }
  WriteFile(dir / "second", second);

  std::vector<std::string> shuffled = digests;
  std::shuffle(shuffled.begin(), shuffled.end(), random);
  std::vector<std::string> sawtooth;
  for (size_t i = 0; i < digests.size(); i += 2) sawtooth.push_back(digests[(i * 7) % digests.size()]);
  for (const auto& order : {digests, shuffled, sawtooth}) {
    std::string first, expected;
    for (const std::string& digest : order) {
      first += digest;
      if (!removed.count(digest)) expected += digest + "\n";
    }
    WriteFile(dir / "first", first);
    EXPECT_EQ(Subtract(dir / "first", dir / "second").out, expected);
  }
}

}  // namespace
