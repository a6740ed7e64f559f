// C++ side of the embedding interface.
#pragma once

#include "embed/tessel.h"

// Judges "data/test.txt" against the model directory "data" of the current
// directory and prints the verdict (1 or 0) on standard output.
void test();
