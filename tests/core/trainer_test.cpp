// Training into flat sets must give the records of BuildShingles over the same
// files, put into digest order by the stable sort: digests, counts, total.
#include "core/trainer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/builder.h"
#include "support/test_support.h"

namespace {

// Files that share words, pairs and longer runs, with repeats inside a file,
// an empty file and a file whose last word has no separator after it.
const char* const kTexts[] = {
    "alpha beta gamma alpha beta gamma delta. alpha beta\n",
    "gamma delta alpha beta gamma \xE0\xE1 \xC0\xC1 alpha beta gamma delta epsilon\n",
    "",
    "beta gamma delta epsilon alpha beta",
    "delta delta delta delta alpha beta gamma delta\n",
};

class TrainerTest : public testing::Test {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < std::size(kTexts); ++i) {
      files_.push_back(dir_ / ("f" + std::to_string(i)));
      WriteFile(files_.back(), kTexts[i]);
    }
    files_.push_back(dir_ / "missing");
  }
  void TearDown() override { CShingle::shingle_shift = 1; }

  void ExpectSameAsBuildShingles(const std::vector<int>& lengths, bool keep_counts) {
    Trainer trainer(lengths, keep_counts);
    testing::internal::CaptureStderr();
    for (const std::string& name : files_) EXPECT_EQ(name != files_.back(), trainer.AddFile(name));
    const std::string trained_messages = testing::internal::GetCapturedStderr();
    const std::vector<FlatSet> sets = trainer.Finish();
    ASSERT_EQ(lengths.size(), sets.size());
    std::string built_messages;
    for (size_t s = 0; s < lengths.size(); ++s) {
      CShingleSet built;
      testing::internal::CaptureStderr();
      for (const std::string& name : files_) BuildShingles(name, built, lengths[s]);
      built_messages += testing::internal::GetCapturedStderr();
      SortByDigest(built.list);
      const FlatSet& set = sets[s];
      EXPECT_EQ(built.total, set.total);
      ASSERT_EQ(built.list.size(), set.digests.size());
      ASSERT_EQ(keep_counts ? set.digests.size() : 0, set.counts.size());
      size_t i = 0;
      for (const CShingle& shingle : built.list) {
        EXPECT_EQ(0, std::memcmp(shingle.hash, set.digests[i].bytes, kDigestSize));
        if (keep_counts) {
          EXPECT_EQ(shingle.count, set.counts[i]);
        }
        ++i;
      }
    }
    // The same messages, but the missing file is only reported once per set
    // when the sets are built one after another.
    EXPECT_EQ(std::count(built_messages.begin(), built_messages.end(), '\n'),
              std::count(trained_messages.begin(), trained_messages.end(), '\n'));
    EXPECT_NE(std::string::npos, trained_messages.find("No such file or directory"));
  }

  TempDir dir_;
  std::vector<std::string> files_;
};

TEST_F(TrainerTest, WordsPairsAndShiftsMatchBuildShingles) {
  ExpectSameAsBuildShingles({1, 2}, true);
  CShingle::shingle_shift = 2;
  ExpectSameAsBuildShingles({3}, false);
}

}  // namespace
