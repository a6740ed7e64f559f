// A trained set in flat form: what the tool's training produces for one role
// (protected words, protected pairs, ...), what saving writes and what the
// judging index is built from. It holds what the set files and the formulas
// need and nothing else: trained shingle texts are never printed.
#pragma once

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
  // Shingles built into the set, repeats included; saturates at INT32_MAX.
  int32_t total = 0;
};
