// Every test program brings its own main, so the library's main (the tool's
// entry point) is never the one that runs.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
