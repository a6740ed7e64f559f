// Sorting digests that all share their leading bits, so that every bucket
// but the first is empty (the last one too).
#include <gtest/gtest.h>

#include "core/shingle.h"

TEST(SortByDigest, DigestsInOneLeadingBucket) {
  std::list<CShingle> list(40), expected;
  unsigned char value = 97;
  for (CShingle& shingle : list) {
    shingle.hash[15] = value;
    shingle.count = value;
    value = static_cast<unsigned char>(value * 5 + 3);
  }
  expected = list;
  expected.sort();
  SortByDigest(list);
  std::list<int32_t> counts, expected_counts;
  for (const CShingle& shingle : list) counts.push_back(shingle.count);
  for (const CShingle& shingle : expected) expected_counts.push_back(shingle.count);
  EXPECT_EQ(counts, expected_counts);
}
