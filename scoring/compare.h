// Comparisons between digest-ordered shingle lists.
#pragma once

#include "core/shingle.h"

// Moves the shingles that a and b share (a's record) from both lists to the
// end of out's list.
void Common(CShingleSet& a, CShingleSet& b, CShingleSet& out);
// Number of digests that the document list a shares with the trained list b;
// with Detailed set, the shared shingles are also listed on standard output.
int Intersection(CShingleSet& a, CShingleSet& b);
