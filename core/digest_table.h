// An open-addressing table for finding the distinct digests of a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/digest.h"

// The positions of distinct digests in an array the caller keeps, found by
// digest: linear probing from a slot taken from the digest's leading bits.
// MD5 digests are uniform, so the slots fill evenly; at most half of them
// are taken. A slot is four bytes: the position, and above it as many bits
// of the digest's other half as the position leaves free, so that a probe
// seldom reads a digest that is not the one searched for.
class DigestTable {
 public:
  // Readies the table for up to `digests` distinct digests (fewer than
  // 2^31), every slot free. Its memory is kept for the next text, on huge
  // pages where the system allows: for texts of megabytes every look-up
  // would otherwise also miss the address translation cache.
  void Reset(size_t digests);
  // Empties the table, so that the next Reserve readies it afresh; its memory
  // is kept for that when it is at most kept_bytes, and freed otherwise.
  void Empty(size_t kept_bytes);

  // Makes room for `digests` distinct digests in all, keeping the `entered`
  // ones already in (digest_at(p) is the digest at position p). A table
  // grown as digests come would be rebuilt many times over: callers reserve
  // for a batch at once.
  template <typename DigestAt>
  void Reserve(size_t digests, uint32_t entered, DigestAt digest_at) {
    if (!slots_.empty() && 2 * digests <= slots_.size()) return;
    Reset(digests);
    constexpr uint32_t kAhead = 8;
    for (uint32_t p = 0; p < entered; ++p) {
      if (p + kAhead < entered) Prefetch(digest_at(p + kAhead));
      const Digest& digest = digest_at(p);
      size_t slot = SlotOf(digest);
      while (slots_[slot] != 0) slot = (slot + 1) & mask_;
      slots_[slot] = TagOf(digest) | (p + 1);
    }
  }

  // Lets the slot of a digest load while the next digest is computed.
  void Prefetch(const Digest& digest) const { __builtin_prefetch(&slots_[SlotOf(digest)], 1); }

  // The position of the digest among those entered; a digest not entered
  // yet is entered at `next`, which is returned.
  template <typename DigestAt>
  uint32_t Enter(const Digest& digest, uint32_t next, DigestAt digest_at) {
    const uint32_t tag = TagOf(digest);
    for (size_t slot = SlotOf(digest);; slot = (slot + 1) & mask_) {
      const uint32_t entry = slots_[slot];
      if (entry == 0) {
        slots_[slot] = tag | (next + 1);
        return next;
      }
      if ((entry & ~positions_) == tag && digest_at((entry & positions_) - 1) == digest)
        return (entry & positions_) - 1;
    }
  }

 private:
  size_t SlotOf(const Digest& digest) const { return DigestHalf(digest.bytes) >> shift_; }
  uint32_t TagOf(const Digest& digest) const {
    return static_cast<uint32_t>(DigestHalf(digest.bytes + 8) >> 32) & ~positions_;
  }

  std::vector<uint32_t> slots_;  // tag | position + 1; 0 is a free slot
  int shift_ = 60;
  size_t mask_ = 0;
  uint32_t positions_ = 0;  // the bits of a slot that hold the position
};
