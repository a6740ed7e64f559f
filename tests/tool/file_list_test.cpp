#include "tool/file_list.h"

#include <gtest/gtest.h>

#include <utility>

// Only the file's own name holds an extension; without one, ".ext" is added.
TEST(ChangeFileExt, LooksInTheFilesOwnNameOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"texts/a.txt", "texts/a.hdr"},   {"a.b.txt", "a.b.hdr"},
      {"a.", "a.hdr"},                  {"a.hdr", "a.hdr"},
      {"README", "README.hdr"},         {"../my.docs/README", "../my.docs/README.hdr"},
      {"./doc", "./doc.hdr"},           {"../doc", "../doc.hdr"},
      {".hidden", ".hidden.hdr"},       {"dir/.hidden.txt", "dir/.hidden.hdr"},
      {"", ".hdr"}};
  for (const auto& [name, header] : cases) EXPECT_EQ(ChangeFileExt(name, "hdr"), header) << name;
  EXPECT_EQ(ChangeFileExt("a.txt", ""), "a.");
}
