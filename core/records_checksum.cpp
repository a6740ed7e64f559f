#include "core/records_checksum.h"

#include <cstring>

namespace {

constexpr uint64_t kPrime = 0x100000001b3u;

}  // namespace

RecordsChecksum::RecordsChecksum(size_t count)
    : chains_{0xcbf29ce484222325u ^ count, 0x84222325cbf29ce4u, 0x9e3779b97f4a7c15u,
              0xc2b2ae3d27d4eb4fu} {}

void RecordsChecksum::Add(const Digest* digests, size_t size) {
  for (size_t i = 0; i < size; ++i, ++position_) {
    uint64_t halves[2];
    std::memcpy(halves, digests[i].bytes, sizeof halves);
    uint64_t& chain = chains_[position_ % 4];
    chain = ((chain ^ halves[0]) * kPrime ^ halves[1]) * kPrime;
  }
}

uint64_t RecordsChecksum::value() const {
  uint64_t sum = 0;
  for (uint64_t chain : chains_) sum = (sum ^ chain) * kPrime;
  return sum;
}

uint64_t ChecksumOfRecords(const Digest* digests, size_t count) {
  RecordsChecksum checksum(count);
  checksum.Add(digests, count);
  return checksum.value();
}
