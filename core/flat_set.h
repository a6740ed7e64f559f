// A trained set in flat form: what the tool's training produces for one role
// (protected words, protected pairs, ...), what saving writes and what the
// judging index is built from. It holds what the set files and the formulas
// need and nothing else: trained shingle texts are never printed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/digest.h"

struct FlatSet {
  // Ascending digest order. Duplicates are kept (one record per learning file
  // that holds the digest), equal digests in the order they were appended.
  std::vector<Digest> digests;
  // Parallel to digests: each record's count (its occurrences in its file).
  // Empty when nobody needs counts (shingle mode).
  std::vector<int32_t> counts;
  // Parallel to digests: the index of the learning file each record came
  // from, among the files of its side in training order. Empty unless asked
  // for (the provenance a save writes).
  std::vector<uint32_t> files;
  // For a set of 64-bit unit identities (Trainer::KeepIds), the records'
  // identities in ascending order in place of the digests, which are then
  // empty; files and counts are parallel to them.
  std::vector<uint64_t> ids;
  // Shingles built into the set, repeats included; saturates at INT32_MAX.
  int32_t total = 0;
};

// The operations below are those of the shingle lists (SortByDigest, Unique,
// Common) with the same results on the digests and counts.

// Puts the records into ascending digest order; records of equal digest keep
// their order. A radix sort on the leading digest bits (digests are uniform),
// then short runs; a set already in order costs one walk.
void SortByDigest(FlatSet& set);
// The same for n records in place; counts may be null.
void SortByDigest(Digest* digests, int32_t* counts, size_t n);
// Writes n records in digest order (stable) to digests_out and, when both
// are given, their counts to counts_out. The records are read whole before
// any is written, so an output may be its input itself, though not overlap
// it otherwise.
void SortByDigestInto(const Digest* digests, const int32_t* counts, size_t n, Digest* digests_out,
                      int32_t* counts_out);
// The same carrying each record's file index along (files may be null).
void SortByDigestInto(const Digest* digests, const int32_t* counts, const uint32_t* files,
                      size_t n, Digest* digests_out, int32_t* counts_out, uint32_t* files_out);
// Sorts and merges records of equal digest into the earliest one, summing
// their counts (saturating).
void Unique(FlatSet& set);

// Moves the records that a and b share from both sets to the end of out:
// a's record with a's count (out gains counts when a has them); b's record is
// dropped. The single merge walk of Common on lists: both sets are expected
// in digest order, and of two equal digests in a row only the first pairs.
void Common(FlatSet& a, FlatSet& b, FlatSet& out);
