// The sources file (tessel.sources): read back as written, refused with a
// reason when cut short or damaged, and the files a document shares the most
// with found in the right order.
#include "core/provenance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/model_files.h"

namespace {

Digest DigestOf(unsigned char first) {
  Digest digest{};
  digest.bytes[0] = first;
  return digest;
}

// Records a, b, b, c: b is held by two files.
struct Saved {
  std::vector<Digest> records = {DigestOf(1), DigestOf(2), DigestOf(2), DigestOf(3)};
  std::vector<uint32_t> files = {0, 0, 1, 1};
  std::vector<std::string> paths = {"b/first.txt", "a/second\t.txt"};
  std::string bytes = FormatSources(kProtectedPairs, records.data(), records.size(), files.data(), paths);
};

TEST(SourcesFile, ReadsBackWhatWasWrittenAtAnyIndexWidth) {
  for (size_t count : {2, 300, 70000}) {
    Saved saved;
    saved.paths.resize(count, "x");
    saved.files[3] = static_cast<uint32_t>(count - 1);
    const std::string bytes = FormatSources(kProtectedWords, saved.records.data(), 4,
                                            saved.files.data(), saved.paths);
    EXPECT_EQ(bytes.size() % 16, 0u);
    SourcesFile file;
    const Status parsed = ParseSources(bytes, file);
    ASSERT_TRUE(parsed.ok()) << parsed.message();
    EXPECT_EQ(file.slot, kProtectedWords);
    EXPECT_EQ(file.records, 4u);
    EXPECT_EQ(file.paths, saved.paths);
    for (size_t k = 0; k < 4; ++k) EXPECT_EQ(file.FileOf(k), saved.files[k]);
  }
}

// Outside input: every prefix and every damaged header field is refused with
// a reason, never read past its end.
TEST(SourcesFile, RefusesFilesCutShortOrDamaged) {
  const Saved saved;
  SourcesFile file;
  for (size_t size = 0; size < saved.bytes.size(); ++size) {
    const std::string cut = saved.bytes.substr(0, size);
    const Status parsed = ParseSources(cut, file);
    if (size >= saved.bytes.size() - 15 && parsed.ok()) continue;  // padding
    EXPECT_EQ(parsed.code(), StatusCode::kDamaged) << size;
    EXPECT_FALSE(parsed.message().empty());
  }
  auto damaged = [&](size_t at, unsigned char value) {
    std::string bytes = saved.bytes;
    bytes[at] = static_cast<char>(value);
    return !ParseSources(bytes, file).ok();
  };
  EXPECT_TRUE(damaged(0, 'X'));                // magic
  EXPECT_TRUE(damaged(8, 2));                  // version
  EXPECT_TRUE(damaged(12, 2));                 // slot: an unprotected set
  EXPECT_TRUE(damaged(23, 0x80));              // a record count beyond the file
  EXPECT_TRUE(damaged(36, 3));                 // index width
  EXPECT_TRUE(damaged(40, 0xF0));              // path table offset
  EXPECT_TRUE(damaged(64 + 8 + 7, 0x7F));      // a path ending far outside
  EXPECT_FALSE(damaged(24, 0));                // the set's checksum is checked by the caller
}

TEST(SourceFinder, CountsEachFileOnceByDigestLargestFirstTiesByPath) {
  Saved saved;
  SourceFinder finder(saved.records, saved.files, saved.paths);
  // a and b (twice) from the document; file 0 holds a and b, file 1 b and c.
  std::vector<Source> found = finder.Find({DigestOf(2), DigestOf(1), DigestOf(2), DigestOf(9)},
                                          {DigestOf(3)}, 5);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].path, "b/first.txt");
  EXPECT_EQ(found[0].shared, 2);
  EXPECT_EQ(found[1].shared, 1);
  EXPECT_EQ(found[1].phrase, 1);  // c only in the phrase
  found = finder.Find({DigestOf(2)}, {}, 5);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].path, "a/second\t.txt");  // a tie: by path
  EXPECT_EQ(finder.Find({DigestOf(2)}, {}, 1).size(), 1u);
  EXPECT_TRUE(finder.Find({DigestOf(9)}, {}, 5).empty());
  saved.files[0] = 7;  // a damaged file index names no file, reading past no path
  finder = SourceFinder(saved.records, saved.files, saved.paths);
  EXPECT_TRUE(finder.Find({DigestOf(1)}, {}, 5).empty());
}

// The batched look-up finds the records of every digest, in any order and
// repeated, as a search of the whole set would, over more digests than it
// fetches ahead; a finder of nothing finds nothing.
TEST(SourceFinder, FindsTheHoldersOfManyDigestsAtOnce) {
  Saved saved;
  const SourceFinder finder(saved.records, saved.files, saved.paths);
  std::vector<Digest> asked;
  for (int k = 0; k < 40; ++k) asked.push_back(DigestOf(static_cast<unsigned char>(k % 5)));
  std::vector<SourceFinder::Holders> holders(asked.size());
  finder.HoldersMany(asked.data(), asked.size(), holders.data());
  for (size_t k = 0; k < asked.size(); ++k) {
    const auto range = std::equal_range(saved.records.begin(), saved.records.end(), asked[k]);
    EXPECT_EQ(holders[k].first, static_cast<size_t>(range.first - saved.records.begin())) << k;
    EXPECT_EQ(holders[k].last, static_cast<size_t>(range.second - saved.records.begin())) << k;
  }
  EXPECT_EQ(finder.FileOf(holders[2].first + 1), 1u);  // b's second record: the second file
  SourceFinder none;
  none.HoldersMany(asked.data(), asked.size(), holders.data());
  for (const auto& held : holders) EXPECT_EQ(held.first, held.last);
}

// Over digests spread as real ones are, the filter lets every held digest
// through and turns most others away, and a search without it finds the
// same records; a finder of nothing holds nothing.
TEST(SourceFinder, FiltersSpreadDigestsWithoutLosingAny) {
  std::vector<Digest> records, others;
  std::mt19937 random(1);
  for (int k = 0; k < 6000; ++k) {
    Digest digest;
    for (unsigned char& byte : digest.bytes) byte = static_cast<unsigned char>(random());
    (k % 3 == 0 ? others : records).push_back(digest);
  }
  std::sort(records.begin(), records.end());
  const SourceFinder finder(records, std::vector<uint32_t>(records.size(), 0), {"a"});
  for (const Digest& digest : records) ASSERT_TRUE(finder.MayHold(digest));
  size_t passed = 0;
  for (const Digest& digest : others) passed += finder.MayHold(digest);
  EXPECT_LT(passed, others.size() / 20);
  std::vector<Digest> asked(records.begin(), records.begin() + 50);
  asked.insert(asked.end(), others.begin(), others.begin() + 50);
  std::vector<SourceFinder::Holders> filtered(asked.size()), all(asked.size());
  finder.HoldersMany(asked.data(), asked.size(), filtered.data());
  finder.HoldersMany(asked.data(), asked.size(), all.data(), false);
  for (size_t k = 0; k < asked.size(); ++k) {
    EXPECT_EQ(filtered[k].last - filtered[k].first, k < 50 ? 1u : 0u) << k;
    EXPECT_EQ(all[k].last - all[k].first, k < 50 ? 1u : 0u) << k;
    EXPECT_TRUE(k >= 50 || records[all[k].first] == asked[k]) << k;
  }
  EXPECT_FALSE(SourceFinder().MayHold(records[0]));
}

}  // namespace
