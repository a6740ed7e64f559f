// Comparisons between digest-ordered shingle lists.
#pragma once

#include <functional>
#include <iosfwd>

#include "compat/shingle.h"

// Moves the shingles that a and b share (a's record) from both lists to the
// end of out's list.
void Common(CShingleSet& a, CShingleSet& b, CShingleSet& out);
// Number of digests that the document list a shares with the trained list b;
// with Detailed set, the shared shingles are also listed on standard output.
int Intersection(CShingleSet& a, CShingleSet& b);

// The records of a, a digest-ordered list holding each digest once, whose
// digest `shared` accepts: their number and, when listing is not null, the
// listing of Intersection written to it. For such a list and an ordered
// trained list b, accepting the digests b holds gives exactly
// Intersection(a, b).
int SharedWhere(CShingleSet& a, const std::function<bool(const unsigned char*)>& shared,
                std::ostream* listing);
