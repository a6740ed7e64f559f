#include <gtest/gtest.h>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

TEST(PlotSweep, RendersOnePngPerTestCollection) {
  if (RunProcess({"/bin/sh", "-c", "command -v gnuplot"}).status != 0)
    GTEST_SKIP() << "gnuplot is not installed";
  TempDir out;
  ProcessResult run = RunProcess({"/bin/bash", std::string(TESSEL_SOURCE_DIR) + "/examples/plot_sweep.sh",
                                  "-o", out.path(), std::string(TESSEL_TEST_DATA) + "/hardening/sweep"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string png = ReadFile(out / "sweep_C2.png");
  ASSERT_GT(png.size(), 1000u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(run.out, out / "sweep_C2.png" + "\n");  // one collection, one picture

  EXPECT_NE(RunProcess({"/bin/bash", std::string(TESSEL_SOURCE_DIR) + "/examples/plot_sweep.sh",
                        out.path()}).status, 0);  // no tables there
}

}  // namespace
