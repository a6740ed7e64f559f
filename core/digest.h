// A raw 16-byte MD5 digest as a value, for the flat arrays of the hot paths.
#pragma once

#include <cstdint>
#include <cstring>

constexpr int kDigestSize = 16;

struct Digest {
  unsigned char bytes[kDigestSize];
};

// The leading and trailing halves as big-endian integers: comparing them in
// turn gives the byte-wise order of the digests (the order of memcmp).
inline uint64_t DigestHalf(const unsigned char* bytes) {
  uint64_t half;
  std::memcpy(&half, bytes, sizeof half);
  return __builtin_bswap64(half);
}

inline bool DigestLess(const unsigned char* a, const unsigned char* b) {
  const uint64_t a_high = DigestHalf(a), b_high = DigestHalf(b);
  if (a_high != b_high) return a_high < b_high;
  return DigestHalf(a + 8) < DigestHalf(b + 8);
}

inline bool operator<(const Digest& a, const Digest& b) { return DigestLess(a.bytes, b.bytes); }
inline bool operator==(const Digest& a, const Digest& b) {
  return std::memcmp(a.bytes, b.bytes, kDigestSize) == 0;
}
inline bool operator!=(const Digest& a, const Digest& b) { return !(a == b); }
