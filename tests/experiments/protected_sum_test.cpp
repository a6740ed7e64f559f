#include "experiments/protected_sum.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string Report(const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  CalculateProtectedSum(in, out);
  return out.str();
}

TEST(CalculateProtectedSum, TalliesProtectedCountsWithARunningSum) {
  EXPECT_EQ(Report("a\t3\t1\t0\t3>=10\nb\t1\t0\t0\t1<10\nc\t3\t2\t1\t3<10*0.5\n"),
            "1\t1\t1\n3\t2\t3\n");
  EXPECT_EQ(Report(""), "");
  // A last line that ends right after its third number is not tallied.
  EXPECT_EQ(Report("a\t2\t0\t0\t2<10\nb\t5\t0\t0"), "2\t1\t1\n");
  // A field that is not a number ends the reading.
  EXPECT_EQ(Report("a\t2\t0\t0\tx\nb\tnone\t0\t0\tx\nc\t2\t0\t0\tx\n"), "2\t1\t1\n");
}

TEST(CalculateProtectedSum, SurvivesVeryLongNamesAndVerdicts) {
  const std::string huge(3 << 20, 'n');
  EXPECT_EQ(Report(huge + "\t4\t0\t0\t" + huge + "\n" + huge + "\t4\t1\t1\tx\n"),
            "4\t2\t2\n");
}

}  // namespace
