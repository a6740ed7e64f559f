// Parameter sweeps over stored count files.
#pragma once

#include <string>

// Sweep over every collection label and shingle length for one test collection.
void CalculateAll(int test_size, std::string test_set, double tolerance);
// One point of the grid.
void CalculateAll(std::string col, int threshold, std::string len, double& recall,
                  double& precision, double& f, int test_size, std::string test_set,
                  double tolerance);
