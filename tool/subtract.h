// Shingle list subtraction.
#pragma once

#include <string>

// Writes each record of the first set file that the second lacks, followed by
// a line feed, to standard output.
void ShingleSubtract(std::string first_file, std::string second_file);
