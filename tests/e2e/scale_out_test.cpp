// Training in shards and scoring in shards give what one process gives.
#include <gtest/gtest.h>

#include <utility>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

// Learning texts that share words and pairs, so shards hold the same digests.
void WriteTexts(const std::string& dir, std::initializer_list<int> which) {
  const char* const texts[] = {
      "alpha beta gamma delta alpha beta.\n", "beta gamma delta epsilon zeta.\n",
      "alpha beta omega zeta gamma delta.\n", "one two three one two.\n",
      "two three four five alpha beta.\n"};
  const char* const names[] = {"a1.txt", "a2.txt", "a3.txt", "b1.txt", "b2.txt"};
  for (int i : which) WriteFile(dir + "/" + names[i], texts[i]);
}

// Saved lists hold each learning file's distinct shingles, not yet made
// exclusive, so per-shard files merge (a sorted multiset union) into what
// training on all the text at once saves.
TEST(ScaleOut, MergedShardModelsEqualOneTraining) {
  for (const auto& [option, value] : {std::pair("-o", "1"), std::pair("-l", "2")}) {
    TempDir all, first, second, merged;
    WriteTexts(all.path(), {0, 1, 2, 3, 4});
    WriteTexts(first.path(), {0, 1, 3});
    WriteTexts(second.path(), {2, 4});
    for (const TempDir* dir : {&all, &first, &second})
      ASSERT_EQ(RunTessel({"-p", "a*.txt", "-u", "b*.txt", "-v", option, value}, dir->path()).status, 0);
    for (const char* name : {"p.bin", "p.bin.2", "u.bin", "u.bin.2"}) {
      ProcessResult merge = RunProcess({std::string(TESSEL_BUILD_DIR) + "/tessel-sets", "merge",
                                        merged / name, first / name, second / name});
      ASSERT_EQ(merge.status, 0) << merge.err;
      EXPECT_EQ(ReadFile(merged / name), ReadFile(all / name)) << option << " " << name;
    }
    EXPECT_GT(ReadFile(all / "p.bin").size(), 0u);
  }
}

TEST(ScaleOut, ShardedScoringKeepsListOrderAndResults) {
  TempDir dir;
  WriteTexts(dir.path(), {0, 1, 2, 3, 4});
  ASSERT_EQ(RunTessel({"-p", "a*.txt", "-u", "b*.txt", "-l", "2", "-v"}, dir.path()).status, 0);
  // A list in an order of its own, with a name that holds a pattern character.
  WriteFile(dir / "odd[1].txt", "alpha beta gamma.\n");
  const std::vector<std::string> list{"b2.txt", "odd[1].txt", "a1.txt", "b1.txt", "a3.txt"};
  std::string list_text, expected;
  for (const std::string& name : list) {
    list_text += name + "\n";
    expected += RunTessel({"-f", "-p", "p.bin", "-u", "u.bin", "-l", "2", "-d",
                           name == "odd[1].txt" ? "odd[[]1].txt" : name}, dir.path()).out;
  }
  ASSERT_NE(expected.find("odd[1].txt\t"), std::string::npos);
  WriteFile(dir / "list", list_text);
  const std::string script = std::string(TESSEL_SOURCE_DIR) + "/examples/shard.sh";
  for (const char* runner : {"SHARD_RUNNER=xargs", "SHARD_RUNNER=auto"}) {
    ProcessResult run = RunProcess({"/usr/bin/env", runner, "bash", script, "-j", "2", "-t",
                                    TESSEL_BINARY, "list", "--", "-f", "-p", "p.bin", "-u",
                                    "u.bin", "-l", "2"},
                                   dir.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, expected) << runner;
  }
}

}  // namespace
