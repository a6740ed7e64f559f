#include "compat/paths.h"

#include <gtest/gtest.h>

// The tool never calls it: the directory part with a backslash, or nothing.
TEST(DirName, EndsInABackslash) {
  EXPECT_EQ(dirName("a/b/c.txt") + "|" + dirName("/x") + "|" + dirName("a\\b") + "|" + dirName("file"),
            "a/b\\|\\|a\\|");
}
