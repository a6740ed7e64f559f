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
#include "core/set_file.h"

class TextWords;

inline constexpr char kChainsFile[] = "tessel.chains";
inline constexpr char kChainsMagic[8] = {'T', 'S', 'C', 'H', 'A', 'I', 'N', 'S'};
inline constexpr uint32_t kChainsVersion = 3;
inline constexpr size_t kChainsHeaderBytes = 32;

// A unit's 64-bit identity as a digest, for the look-ups judging shares
// with shingles: the identity big-endian (so that digests sort as their
// identities do, and the leading bytes a directory takes are its leading
// bits), then little-endian (so that a filter's word, taken from the second
// half's low bits, is the identity's low bits).
inline Digest UnitDigest(uint64_t id) {
  Digest digest;
  const uint64_t big = __builtin_bswap64(id);  // as DigestHalf reads it back
  std::memcpy(digest.bytes, &big, 8);
  std::memcpy(digest.bytes + 8, &id, 8);
  return digest;
}
// The identity a UnitDigest holds.
inline uint64_t UnitIdOf(const Digest& digest) { return DigestHalf(digest.bytes); }

// The units of a set as digests (UnitDigest), for a judging's look-ups; its
// ids are released.
std::vector<Digest> UnitDigests(FlatSet& units);

// The records of protected (ids with files) whose identity unprotected
// (ids) does not hold; both in ascending order. The records are kept in
// protected's own memory, so that a training does not hold them twice.
FlatSet ProtectedOnly(FlatSet protected_set, const FlatSet& unprotected_set);

// The identities of a text's units of `words` words, in text order (one at
// every shift-th word, as its shingles), as UnitDigests: not MD5 digests but
// 64 bits mixed from a 64-bit hash of each word, so that a judging pays one
// MD5 a shingle and a few multiplications a unit. Training and judging take
// the units' identities only from here.
void UnitIdentities(const TextWords& text, int words, std::vector<Digest>& out);

// The same one unit at a time, for a judging that needs the identities of
// only some of a text's units: each word is hashed once when made, a unit
// costs a few multiplications when asked for.
class UnitHasher {
 public:
  UnitHasher(const TextWords& text, int words);
  size_t count() const { return count_; }
  // The identity of unit k (0 <= k < count()), as UnitIdentities gives it.
  Digest At(size_t k) const { return UnitDigest(IdAt(k)); }
  uint64_t IdAt(size_t k) const;

 private:
  size_t count_ = 0;
  size_t step_ = 1;
  std::vector<uint64_t> hashes_;  // of the words the units hold
  std::vector<int> turns_;        // each word's rotation by its place in a unit
};

// A filter of a set of unit identities: MayHold is false only for an
// identity not among them. At two bytes a unit it lets a training drop the
// unprotected side's shorter units as they are read, unless the protected
// side may hold them: the others cannot change which units only the
// protected side holds.
class UnitSieve {
 public:
  explicit UnitSieve(const std::vector<uint64_t>& ids);
  bool MayHold(uint64_t id) const {
    const uint64_t bit = id & mask_;
    return (bits_[bit / 64] >> (bit % 64) & 1) != 0;
  }

 private:
  std::vector<uint64_t> bits_;
  uint64_t mask_ = 0;
};

// A chains file's bytes as the pieces a save writes: the header and the
// padding held here, the identities and file indexes where units holds them
// (copied only on a big-endian machine), so that the units are not held
// twice while they are written. units must outlive it.
struct ChainsFileBytes {
  ChainsFileBytes(int32_t words, const FlatSet& units);
  std::vector<FilePiece> pieces;
  size_t bytes = 0;
  uint64_t checksum = 0;  // FileChecksum of the bytes

 private:
  std::string header_;
  std::vector<uint64_t> ids_;     // little-endian copies, on a big-endian machine only
  std::vector<uint32_t> files_;
};
// The same bytes in one string.
std::string FormatChainUnits(int32_t words, const FlatSet& units);
// Reads the bytes of a chains file into units (ids and files); false with
// the reason for bytes that are not one.
bool ParseChainUnits(std::string_view bytes, int32_t& words, FlatSet& units, std::string& error);
