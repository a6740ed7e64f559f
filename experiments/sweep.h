// Parameter sweeps over stored count files.
#pragma once

#include <istream>
#include <string>

// Sweep over every collection label and shingle length for one test collection.
void CalculateAll(int test_size, std::string test_set, double tolerance);
// One point of the grid.
void CalculateAll(std::string col, int threshold, std::string len, double& recall,
                  double& precision, double& f, int test_size, std::string test_set,
                  double tolerance);

// The count of the last row before the first row whose key reaches threshold,
// read from count-file text (rows of key, ignored value, count).
int LookupCount(std::istream& counts, int threshold);
