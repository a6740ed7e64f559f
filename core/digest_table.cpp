#include "core/digest_table.h"

#include "core/huge_pages.h"

void DigestTable::Reset(size_t digests) {
  int bits = 4;
  while ((size_t{1} << bits) < 2 * digests) ++bits;
  const size_t slots = size_t{1} << bits;
  if (slots > slots_.capacity()) {
    slots_ = std::vector<uint32_t>();
    ReserveLarge(slots_, slots);
  }
  slots_.assign(slots, 0);
  shift_ = 64 - bits;
  mask_ = slots - 1;
  // Positions stay below half the slots, so `bits` bits hold position + 1.
  positions_ = bits >= 32 ? UINT32_MAX : (uint32_t{1} << bits) - 1;
}

void DigestTable::Empty(size_t kept_bytes) {
  if (slots_.capacity() * sizeof(uint32_t) > kept_bytes) slots_ = std::vector<uint32_t>();
  slots_.clear();
}
