// The shorter units of the robust scan: the shingles of one word fewer that
// only the protected side holds, each with the protected learning file that
// held it. Where every 5th word of a leak is replaced no 5-word shingle
// survives, but one 4-word shingle in five does, and a chain of them still
// shows the passage. Saved by a --robust training as "tessel.chains" beside
// the set files; see docs/file-formats.md for the layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/digest.h"
#include "core/flat_set.h"

class TextWords;

inline constexpr char kChainsFile[] = "tessel.chains";
inline constexpr char kChainsMagic[8] = {'T', 'S', 'C', 'H', 'A', 'I', 'N', 'S'};
inline constexpr uint32_t kChainsVersion = 2;
inline constexpr size_t kChainsHeaderBytes = 32;

// The records of protected (with files) whose digest unprotected does not
// hold; both in digest order. The records are kept in protected's own
// memory, so that a training does not hold them twice.
FlatSet ProtectedOnly(FlatSet protected_set, const FlatSet& unprotected_set);

// The identities of a text's units of `words` words, in text order (one at
// every shift-th word, as its shingles): not MD5 digests but 128 bits mixed
// from a 64-bit hash of each word, so that a judging pays one MD5 a shingle
// and a few multiplications a unit. Training and judging take the units'
// identities only from here.
void UnitIdentities(const TextWords& text, int words, std::vector<Digest>& out);

// The same one unit at a time, for a judging that needs the identities of
// only some of a text's units: each word is hashed once when made, a unit
// costs a few multiplications when asked for.
class UnitHasher {
 public:
  UnitHasher(const TextWords& text, int words);
  size_t count() const { return count_; }
  // The identity of unit k (0 <= k < count()), as UnitIdentities gives it.
  Digest At(size_t k) const;

 private:
  size_t count_ = 0;
  size_t step_ = 1;
  std::vector<uint64_t> hashes_;  // of the words the units hold
  std::vector<int> turns_;        // each word's rotation by its place in a unit
};

// A filter of a set of digests: MayHold is false only for a digest not
// among them. At two bytes a digest it lets a training drop the unprotected
// side's shorter units as they are read, unless the protected side may hold
// them: the others cannot change which units only the protected side holds.
class DigestSieve {
 public:
  explicit DigestSieve(const std::vector<Digest>& digests);
  bool MayHold(const Digest& digest) const {
    const uint64_t bit = BitOf(digest);
    return (bits_[bit / 64] >> (bit % 64) & 1) != 0;
  }

 private:
  uint64_t BitOf(const Digest& digest) const {
    uint64_t value;
    std::memcpy(&value, digest.bytes + 8, sizeof value);
    return value & mask_;
  }
  std::vector<uint64_t> bits_;
  uint64_t mask_ = 0;
};

// The file's bytes: the header (magic, version, words per unit, records),
// the digests in ascending order, then each record's file index as 4 bytes
// little-endian, padded to a multiple of 16 bytes.
std::string FormatChainUnits(int32_t words, const FlatSet& units);
// Reads the bytes of a chains file into units (digests and files); false
// with the reason for bytes that are not one.
bool ParseChainUnits(std::string_view bytes, int32_t& words, FlatSet& units, std::string& error);
