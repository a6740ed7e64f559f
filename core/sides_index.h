// The protected and unprotected sets of one kind (words, pairs, or shingles)
// joined in one index: a single look-up answers for both sides, where two
// indexes would each read their own directory and digests for the same key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/digest_index.h"
#include "core/flat_set.h"

// The records of one side as a join reads them: digests in ascending order
// (equal digests may repeat; the first record of each is the one a look-up
// finds), their counts (null when every count is 1), N and T.
struct SortedRecords {
  const Digest* begin = nullptr;
  const Digest* end = nullptr;
  const int32_t* counts = nullptr;
  uint64_t records = 0;
  int32_t total = 0;
};
SortedRecords RecordsOf(const CountIndex& index);
SortedRecords RecordsOf(const FlatSet& set);

class SidesIndex {
 public:
  static constexpr int32_t kProtected = 1;
  static constexpr int32_t kUnprotected = 2;

  // The union of both sides' digests, each with the count its side's index
  // gives (0 on a side that lacks it), N and T of each side; walked in parts
  // on up to `threads` threads.
  static SidesIndex Join(const SortedRecords& protected_side,
                         const SortedRecords& unprotected_side, size_t threads = 1);
  // Keeps both sides' own indexes instead (no copy to join; set files
  // mapped because they are immutable stay shared between the processes that
  // judge with them), behind one filter of the two: a digest neither side
  // holds, as most pairs of an ordinary
  // document, costs one read of that filter.
  static SidesIndex Share(CountIndex&& protected_side, CountIndex&& unprotected_side,
                          size_t threads = 1);

  // Both sides' counts of many digests, looked up in one batch.
  void CountMany(const Digest* digests, size_t size, int32_t* protected_counts,
                 int32_t* unprotected_counts) const;
  // Which sides hold each of many digests: kProtected | kUnprotected bits.
  void SidesMany(const Digest* digests, size_t size, int32_t* sides) const;
  int32_t Sides(const unsigned char* digest) const;
  // Whether the side holds the digest, whatever its count.
  bool Holds(int32_t side, const unsigned char* digest) const { return Sides(digest) & side; }

  // One side's count of a digest (side kProtected or kUnprotected), its N
  // and T.
  int32_t Count(int32_t side, const unsigned char* digest) const {
    if (shared_) return apart_[side - 1].Count(digest);
    const size_t at = joined_.Find(digest);
    return at == CountIndex::kAbsent ? 0 : CountAt(at, side);
  }
  uint64_t records(int32_t side) const { return records_[side - 1]; }
  int32_t total(int32_t side) const { return totals_[side - 1]; }

 private:
  size_t WritePart(const SortedRecords& a, const SortedRecords& b, size_t at, bool counted,
                   Digest* digests);
  void CountApart(const Digest* digests, size_t size, int32_t* protected_counts,
                  int32_t* unprotected_counts) const;
  int32_t CountAt(size_t at, int32_t side) const {
    if (counts_.empty()) return (sides_[at] & side) != 0 ? 1 : 0;
    return counts_[2 * at + (side - 1)];
  }

  CountIndex joined_;
  // Which sides hold each digest...
  std::vector<uint8_t> sides_;
  // ...and both counts of each digest side by side, unless every count is 1
  // (a loaded model, or shingle mode).
  std::vector<int32_t> counts_;
  // Shared: each side's own index, and the filter of both.
  bool shared_ = false;
  CountIndex apart_[2];
  DigestFilter either_;
  uint64_t records_[2] = {0, 0};
  int32_t totals_[2] = {0, 0};
};
