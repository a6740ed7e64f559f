#include "core/chain_units.h"

#include <algorithm>
#include <cstring>

#include "core/little_endian.h"
#include "core/text_words.h"

namespace {

// The finalizer of MurmurHash3: every bit of x reaches every bit of the result.
uint64_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

// 8 or 4 bytes as a little-endian number, whatever the machine's order.
uint64_t Load64(const char* bytes) {
  uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  return value;
}
uint64_t Load32(const char* bytes) {
  uint32_t value;
  std::memcpy(&value, bytes, sizeof value);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  value = __builtin_bswap32(value);
#endif
  return value;
}

// The last piece of a word, 1 to 8 bytes, as a number that tells apart any
// two pieces of the same length: loads of fixed sizes that together cover
// every byte, not a copy of a variable length (which stalls the load after it).
uint64_t LoadPiece(const char* bytes, size_t count) {
  if (count == 8) return Load64(bytes);
  if (count >= 4) return Load32(bytes) | Load32(bytes + count - 4) << 32;
  const auto byte = [bytes](size_t at) { return uint64_t{static_cast<unsigned char>(bytes[at])}; };
  return byte(0) | byte(count / 2) << 8 | byte(count - 1) << 16;
}

// One multiplication a piece of 8 bytes, and the finalizer once.
uint64_t WordHash(std::string_view word) {
  uint64_t hash = 0x243f6a8885a308d3ULL ^ (word.size() * 0x9e3779b97f4a7c15ULL);
  for (size_t at = 0; at < word.size(); at += 8) {
    hash = (hash ^ LoadPiece(word.data() + at, std::min<size_t>(8, word.size() - at))) *
           0xbf58476d1ce4e5b9ULL;
    hash ^= hash >> 29;
  }
  return Mix(hash);
}

inline uint64_t RotateLeft(uint64_t x, int bits) { return x << bits | x >> (64 - bits); }

}  // namespace

UnitHasher::UnitHasher(const TextWords& text, int words)
    : count_(text.ShingleCount(words)), step_(static_cast<size_t>(text.shift())) {
  const size_t length = static_cast<size_t>(words);
  if (count_ == 0) return;
  // Each word is hashed once; the hashes of the words the units hold.
  const size_t last = (count_ - 1) * step_ + length;  // the units hold words 0 .. last - 1
  hashes_.resize(last);
  for (size_t w = 0; w < last; ++w) hashes_[w] = WordHash(text.Word(w));
  // Each word of a unit is rotated by its place, so that the same words in
  // another order give another unit.
  turns_.resize(length);
  for (size_t j = 0; j < length; ++j) turns_[j] = static_cast<int>(j * 23 % 63) + 1;
}

Digest UnitHasher::At(size_t k) const {
  // Two combinations of the words' hashes, a sum and an exclusive or, each
  // then mixed: the hashes are already uniform, so two multiplications a
  // half suffice.
  const size_t length = turns_.size();
  uint64_t low = length * 0x9e3779b97f4a7c15ULL, high = length * 0xbf58476d1ce4e5b9ULL;
  const uint64_t* hash = &hashes_[k * step_];
  for (size_t j = 0; j < length; ++j) {
    low += RotateLeft(hash[j], turns_[j]);
    high ^= RotateLeft(hash[j], 64 - turns_[j]);
  }
  const uint64_t halves[2] = {Mix(low), Mix(high ^ low)};
  Digest unit;
  for (int half = 0; half < 2; ++half) {
    uint64_t value = halves[half];
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    value = __builtin_bswap64(value);
#endif
    std::memcpy(unit.bytes + 8 * half, &value, sizeof value);
  }
  return unit;
}

void UnitIdentities(const TextWords& text, int words, std::vector<Digest>& out) {
  const UnitHasher units(text, words);
  const size_t base = out.size();
  out.resize(base + units.count());
  for (size_t k = 0; k < units.count(); ++k) out[base + k] = units.At(k);
}

FlatSet ProtectedOnly(FlatSet protected_set, const FlatSet& unprotected_set) {
  std::vector<Digest>& digests = protected_set.digests;
  std::vector<uint32_t>& files = protected_set.files;
  const std::vector<Digest>& other = unprotected_set.digests;
  auto at = other.begin();
  size_t kept = 0;
  for (size_t k = 0; k < digests.size(); ++k) {
    at = std::lower_bound(at, other.end(), digests[k]);
    if (at != other.end() && *at == digests[k]) continue;
    digests[kept] = digests[k];
    files[kept] = files[k];
    ++kept;
  }
  digests.resize(kept);
  files.resize(kept);
  FlatSet only;
  only.digests = std::move(digests);
  only.files = std::move(files);
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
