#include <gtest/gtest.h>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

ProcessResult RunSets(std::vector<std::string> args) {
  args.insert(args.begin(), std::string(TESSEL_BUILD_DIR) + "/tessel-sets");
  return RunProcess(args);
}

TEST(TesselSetsProgram, CommandsAndExitStatus) {
  TempDir dir;
  WriteFile(dir / "a", std::string(16, '\x01') + std::string(16, '\x02'));
  WriteFile(dir / "b", std::string(16, '\x02') + std::string(16, '\x01'));  // unsorted
  ProcessResult verify = RunSets({"verify", dir / "a", dir / "b"});
  EXPECT_EQ(verify.status, 1);  // one bad file fails the whole run
  EXPECT_EQ(verify.out, dir / "a" + ": ok, 2 records\n");
  EXPECT_NE(verify.err.find("out of order"), std::string::npos);
  EXPECT_EQ(RunSets({"merge", dir / "m", dir / "a", dir / "a"}).status, 0);
  EXPECT_EQ(ReadFile(dir / "m").size(), 64u);
  ProcessResult usage = RunSets({"merge", dir / "m"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_EQ(usage.err.rfind("usage: tessel-sets", 0), 0u);
  EXPECT_EQ(RunSets({"frobnicate", "x"}).status, 2);
  EXPECT_EQ(RunSets({"--help"}).status, 0);
}

}  // namespace
