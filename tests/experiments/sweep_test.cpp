#include "experiments/sweep.h"

#include <algorithm>
#include <cmath>

#include "support/test_support.h"

namespace {

int Lookup(const std::string& text, int threshold) {
  std::istringstream in(text);
  return LookupCount(in, threshold);
}

TEST(LookupCount, CountOfTheLastRowBeforeTheFirstKeyReachingTheThreshold) {
  const std::string rows = "0 7 10\n1 7 11\n2 7 12\n";
  EXPECT_EQ(Lookup(rows, 0), 0);
  EXPECT_EQ(Lookup(rows, 2), 11);
  EXPECT_EQ(Lookup(rows, 999), 12);
  // Out of order: the reading stops at key 5 for every threshold up to 5.
  EXPECT_EQ(Lookup("0 0 1 5 0 2 1 0 3\n", 3), 1);
  EXPECT_EQ(Lookup("0 0 1 5 0 2 1 0 3\n", 6), 3);
  // Garbage and an incomplete row end the reading; what came before counts.
  EXPECT_EQ(Lookup("0 0 4 1 x 9 2 0 9", 50), 4);
  EXPECT_EQ(Lookup("0 0 4 1 0", 50), 4);
}

// Fixture: for B1 and lengths 3 and 4 (identical files) the reference counts
// are 0, 1, 2, 70 under keys 0 to 3, the C2 counts 100 to 400. With 1174
// documents: t=1 recall 1, F = 100/1174; t=2 recall 64/65, F = 200/1174 when
// the tolerance allows it; t=3 recall 63/65; t >= 4 recall -5/65, F 400/1174.
class Sweep : public LmSettingsTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    ExperimentDirectory = std::string(TESSEL_TEST_DATA) + "/experiments/";
  }
  void TearDown() override { ASSERT_EQ(chdir(previous.c_str()), 0); }

  std::string Summary(double tolerance) {
    std::string said = Said([&] { CalculateAll(1174, "C2", tolerance); return true; });
    return said.substr(2, said.size() - 3);
  }
  double F(int threshold, double tolerance) {
    double recall, precision, f;
    CalculateAll("B1", threshold, "3", recall, precision, f, 1174, "C2", tolerance);
    return f;
  }

  std::string previous = std::filesystem::current_path();
  TempDir dir;
};

TEST_F(Sweep, TablesFirstBestCombinationAndToleranceBoundary) {
  // Lengths 3 and 4 tie: the first stays.
  EXPECT_EQ(Summary(0.02), "[C2] Fmax: 0.170358; len_max: 3; col_max: B1; threshold_max: 2\n");
  std::string table = ReadFile(dir / "res_C2_B1_3");
  EXPECT_EQ(table.substr(0, 103),
            "B1\t0\t3\t1\t0\t0\n"
            "B1\t1\t3\t1\t0.0851789\t0.0851789\n"
            "B1\t2\t3\t0.984615\t0.170358\t0.170358\n"
            "B1\t3\t3\t0.969231\t0.255537\t0\n");
  EXPECT_NE(table.find("B1\t999\t3\t-0.0769231\t0.340716\t0\nFmax: 0.170358; threshold_max: 2\n"),
            std::string::npos);
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 1001);
  EXPECT_EQ(ReadFile(dir / "res_C2_B1C1_5").substr(0, 15), "B1C1\t0\t5\t1\t0\t0\n");  // no count files
  // Every threshold from 4 on gives the same F: the first of them is kept.
  EXPECT_EQ(Summary(2), "[C2] Fmax: 0.340716; len_max: 3; col_max: B1; threshold_max: 4\n");
  // A recall of exactly 1 - tolerance (64/65) counts, one just below does not.
  EXPECT_EQ(F(2, 1.0 - 64.0 / 65.0), 200 / 1174.0);
  EXPECT_EQ(F(2, 1.0 - std::nextafter(64.0 / 65.0, 1.0)), 0.0);
  EXPECT_EQ(F(4, 2), 400 / 1174.0);
}

}  // namespace
