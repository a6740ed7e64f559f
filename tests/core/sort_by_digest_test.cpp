#include <gtest/gtest.h>

#include <random>

#include "core/shingle.h"

namespace {

// Large enough for the key-array path; few distinct digests, so that the
// stability among equal digests (kept in appending order) is exercised.
TEST(SortByDigest, OrdersLikeTheStableListSort) {
  std::mt19937 random(3);
  std::list<CShingle> list;
  for (int i = 0; i < 20000; ++i) {
    CShingle& shingle = list.emplace_back();
    shingle.hash[0] = static_cast<unsigned char>(random() % 200);
    shingle.hash[15] = static_cast<unsigned char>(random() % 3);
    shingle.text = std::to_string(i);
  }
  std::list<CShingle> expected = list;
  expected.sort();
  SortByDigest(list);
  ASSERT_EQ(list.size(), expected.size());
  EXPECT_TRUE(std::equal(list.begin(), list.end(), expected.begin(),
                         [](const CShingle& a, const CShingle& b) { return a.text == b.text; }));
  SortByDigest(list);  // already ordered: unchanged
  EXPECT_EQ(list.front().text, expected.front().text);
}

}  // namespace
