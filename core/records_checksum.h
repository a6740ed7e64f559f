// The checksum a model's description keeps of each set file's records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/digest.h"

// Cheap enough to take while a file is read, and any change of a record,
// their order or their number changes it. Taken a piece at a time: the
// records must come in order, `count` of them in all.
class RecordsChecksum {
 public:
  explicit RecordsChecksum(size_t count);
  void Add(const Digest* digests, size_t size);
  uint64_t value() const;

 private:
  // Four independent chains of multiply-xor steps, one per record position
  // modulo four, so that the multiplications overlap; folded at the end.
  uint64_t chains_[4];
  size_t position_ = 0;
};

// The checksum of `count` records at once.
uint64_t ChecksumOfRecords(const Digest* digests, size_t count);
