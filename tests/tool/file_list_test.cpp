#include "tool/file_list.h"

#include <gtest/gtest.h>

namespace {

TEST(ChangeFileExt, KeepsEverythingUpToTheLastDot) {
  EXPECT_EQ(ChangeFileExt("a.b.txt", "hdr"), "a.b.hdr");
  EXPECT_EQ(ChangeFileExt("rel.old/doc", "hdr"), "rel.hdr");
  EXPECT_EQ(ChangeFileExt("../doc", "hdr"), "..hdr");
  EXPECT_EQ(ChangeFileExt("a.txt", ""), "a.");
  EXPECT_EQ(ChangeFileExt("README", "hdr"), "hdr");
}

TEST(DirName, EndsInABackslash) {
  EXPECT_EQ(dirName("a/b/c.txt"), "a/b\\");
  EXPECT_EQ(dirName("/x"), "\\");
  EXPECT_EQ(dirName("a\\b"), "a\\");
  EXPECT_EQ(dirName("file"), "");
}

}  // namespace
