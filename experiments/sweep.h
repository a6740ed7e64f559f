// Parameter sweeps over stored count files.
#pragma once

#include <istream>
#include <string>
#include <utility>
#include <vector>

// Directory of the count files, ending in a slash. It starts as the directory
// compiled into the library; tests point it at fixture files.
extern std::string ExperimentDirectory;

// Sweep over every collection label and shingle length for one test collection.
void CalculateAll(int test_size, std::string test_set, double tolerance);
// One point of the grid.
void CalculateAll(std::string col, int threshold, std::string len, double& recall,
                  double& precision, double& f, int test_size, std::string test_set,
                  double tolerance);

// The count of the last row before the first row whose key reaches threshold,
// read from count-file text (rows of key, ignored value, count).
int LookupCount(std::istream& counts, int threshold);

// The rows of one count file read once, answering every threshold as
// LookupCount on the same text would.
class CountTable {
 public:
  explicit CountTable(std::istream& counts);
  // A file that cannot be opened gives an empty table (every lookup 0).
  static CountTable FromFile(const std::string& path);
  int Lookup(int threshold) const;

 private:
  CountTable() = default;
  // Running maximum of the keys so far, and the row's count.
  std::vector<std::pair<int, int>> rows_;
};
