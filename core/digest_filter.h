// A filter of the digests of a set, asked before an index is searched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/digest.h"

// False for most digests a set lacks, never for one it holds: two bits per
// digest in one 64-bit word, both chosen by the digest's low half, about one
// byte per digest, so that it stays cached where the digests cannot.
class DigestFilter {
 public:
  // An empty filter with room for about `digests` digests.
  void Reset(size_t digests);
  // A filter of the digests of both, for filters sized alike (by Reset with
  // the same number).
  static DigestFilter Union(const DigestFilter& a, const DigestFilter& b);
  void Add(const unsigned char* digest) { words_[Word(digest)] |= Bits(digest); }
  // Adds every digest in [first, last), fetching the words ahead (a filter
  // larger than the cache misses it on nearly every add). Shared: other
  // threads add to the filter at the same time.
  void AddAll(const Digest* first, const Digest* last, bool shared);
  bool MayHold(const unsigned char* digest) const {
    const uint64_t bits = Bits(digest);
    return (words_[Word(digest)] & bits) == bits;
  }
  // Where MayHold will read, to fetch it ahead.
  const uint64_t* WordOf(const unsigned char* digest) const { return &words_[Word(digest)]; }

 private:
  size_t Word(const unsigned char* digest) const {
    return static_cast<size_t>(DigestHalf(digest + 8) >> shift_);
  }
  static uint64_t Bits(const unsigned char* digest) {
    const uint64_t low = DigestHalf(digest + 8);
    return (uint64_t{1} << (low & 63)) | (uint64_t{1} << ((low >> 6) & 63));
  }

  // Empty until Reset: two words, as the shift picks one of two.
  std::vector<uint64_t> words_ = std::vector<uint64_t>(2);
  int shift_ = 63;
};
