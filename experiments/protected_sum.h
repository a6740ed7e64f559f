// Distribution of the protected-match counts of shingle-mode result lines.
#pragma once

#include <istream>
#include <ostream>

// Reads result lines from standard input and writes the report to standard output.
void CalculateProtectedSum();
// The same between any two streams.
void CalculateProtectedSum(std::istream& in, std::ostream& out);
