// An open-addressing table for finding the distinct digests of a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/digest.h"

// The positions of distinct digests in an array the caller keeps, found by
// digest: linear probing from a slot taken from the digest's leading bits.
// MD5 digests are uniform, so the slots fill evenly; at most half of them
// are taken, and a slot is four bytes, so a text's table stays small beside
// its digests.
class DigestTable {
 public:
  // Readies the table for up to `digests` distinct digests (fewer than
  // 2^31), every slot free. Its memory is kept for the next text, on huge
  // pages where the system allows: for texts of megabytes every look-up
  // would otherwise also miss the address translation cache.
  void Reset(size_t digests);

  // Lets the slot of a digest load while the next digest is computed.
  void Prefetch(const Digest& digest) const { __builtin_prefetch(&slots_[SlotOf(digest)], 1); }

  // The position of the digest among those entered, where digest_at(p) is
  // the digest at position p; a digest not entered yet is entered at `next`,
  // which is returned.
  template <typename DigestAt>
  uint32_t Enter(const Digest& digest, uint32_t next, DigestAt digest_at) {
    for (size_t slot = SlotOf(digest);; slot = (slot + 1) & mask_) {
      const uint32_t entry = slots_[slot];
      if (entry == 0) {
        slots_[slot] = next + 1;
        return next;
      }
      if (digest_at(entry - 1) == digest) return entry - 1;
    }
  }

 private:
  size_t SlotOf(const Digest& digest) const { return DigestHalf(digest.bytes) >> shift_; }

  std::vector<uint32_t> slots_;  // position + 1; 0 is a free slot
  int shift_ = 60;
  size_t mask_ = 0;
};
