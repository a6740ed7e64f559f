#include "core/chain_units.h"

#include <algorithm>
#include <cstring>

#include "core/little_endian.h"

FlatSet ProtectedOnly(const FlatSet& protected_set, const FlatSet& unprotected_set) {
  FlatSet only;
  const std::vector<Digest>& other = unprotected_set.digests;
  auto at = other.begin();
  for (size_t k = 0; k < protected_set.digests.size(); ++k) {
    const Digest& digest = protected_set.digests[k];
    at = std::lower_bound(at, other.end(), digest);
    if (at != other.end() && *at == digest) continue;
    only.digests.push_back(digest);
    only.files.push_back(protected_set.files[k]);
  }
  return only;
}

DigestSieve::DigestSieve(const std::vector<Digest>& digests) {
  uint64_t size = 64;  // bits: 16 a digest or more, so that about 6% of the others pass
  while (size < 16 * uint64_t{digests.size()}) size *= 2;
  mask_ = size - 1;
  bits_.assign(size / 64, 0);
  for (const Digest& digest : digests) {
    const uint64_t bit = BitOf(digest);
    bits_[bit / 64] |= uint64_t{1} << (bit % 64);
  }
}

std::string FormatChainUnits(int32_t words, const FlatSet& units) {
  const size_t count = units.digests.size();
  std::string out(kChainsHeaderBytes + count * kDigestSize + Padded(count * 4), '\0');
  std::memcpy(&out[0], kChainsMagic, sizeof kChainsMagic);
  PutLittle(out, 8, kChainsVersion, 4);
  PutLittle(out, 12, static_cast<uint32_t>(words), 4);
  PutLittle(out, 16, count, 8);
  if (count > 0) std::memcpy(&out[kChainsHeaderBytes], units.digests.data(), count * kDigestSize);
  const size_t files = kChainsHeaderBytes + count * kDigestSize;
  for (size_t k = 0; k < count; ++k) PutLittle(out, files + 4 * k, units.files[k], 4);
  return out;
}

bool ParseChainUnits(std::string_view bytes, int32_t& words, FlatSet& units, std::string& error) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < kChainsHeaderBytes || std::memcmp(data, kChainsMagic, sizeof kChainsMagic) != 0) {
    error = "it is not a chains file";
    return false;
  }
  if (GetLittle(data + 8, 4) != kChainsVersion) {
    error = "it is of another version, " + std::to_string(GetLittle(data + 8, 4));
    return false;
  }
  const uint64_t words_read = GetLittle(data + 12, 4), count = GetLittle(data + 16, 8);
  const size_t room = bytes.size() - kChainsHeaderBytes;
  if (words_read < 1 || words_read > 1000 || count > room / (kDigestSize + 4) ||
      room != count * kDigestSize + Padded(count * 4)) {
    error = "its size does not fit its header";
    return false;
  }
  words = static_cast<int32_t>(words_read);
  units.digests.resize(count);
  if (count > 0) std::memcpy(units.digests.data(), data + kChainsHeaderBytes, count * kDigestSize);
  if (!std::is_sorted(units.digests.begin(), units.digests.end())) {
    error = "its digests are out of order";
    return false;
  }
  units.files.resize(count);
  const unsigned char* files = data + kChainsHeaderBytes + count * kDigestSize;
  for (size_t k = 0; k < count; ++k) units.files[k] = static_cast<uint32_t>(GetLittle(files + 4 * k, 4));
  return true;
}
