#include "tool/file_list.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

TEST(ChangeFileExt, KeepsEverythingUpToTheLastDot) {
  EXPECT_EQ(ChangeFileExt("texts/a.txt", "hdr"), "texts/a.hdr");
  EXPECT_EQ(ChangeFileExt("a.b.txt", "hdr"), "a.b.hdr");
  EXPECT_EQ(ChangeFileExt("rel.old/doc", "hdr"), "rel.hdr");
  EXPECT_EQ(ChangeFileExt("../doc", "hdr"), "..hdr");
  EXPECT_EQ(ChangeFileExt("a.txt", ""), "a.");
  EXPECT_EQ(ChangeFileExt("README", "hdr"), "hdr");
  EXPECT_EQ(ChangeFileExt(ChangeFileExt("a.txt", "hdr"), "hdr"), "a.hdr");
}

TEST(DirName, EndsInABackslash) {
  EXPECT_EQ(dirName("a/b/c.txt"), "a/b\\");
  EXPECT_EQ(dirName("dir/"), "dir\\");
  EXPECT_EQ(dirName("/x"), "\\");
  EXPECT_EQ(dirName("a\\b"), "a\\");
  EXPECT_EQ(dirName("file"), "");
}

TEST(GetFileList, ListsMatchesAndReportsNoMatch) {
  TempDir dir;
  WriteFile(dir / "b.txt", "");
  WriteFile(dir / "a.txt", "");
  WriteFile(dir / "c.dat", "");
  std::list<std::string> names = getFileList(dir / "*.txt");
  names.sort();
  EXPECT_EQ(names, (std::list<std::string>{dir / "a.txt", dir / "b.txt"}));
  testing::internal::CaptureStderr();
  EXPECT_TRUE(getFileList(dir / "none*").empty());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "No match found for: \"" + dir / "none*" + "\"\n");
}

}  // namespace
