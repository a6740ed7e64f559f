#include "core/chain_units.h"

#include <algorithm>
#include <cstring>

#include "core/little_endian.h"
#include "core/model_description.h"
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

uint64_t UnitHasher::IdAt(size_t k) const {
  // Two combinations of the words' hashes, a sum and an exclusive or, mixed
  // into one: the hashes are already uniform, so two multiplications a half
  // suffice.
  const size_t length = turns_.size();
  uint64_t low = length * 0x9e3779b97f4a7c15ULL, high = length * 0xbf58476d1ce4e5b9ULL;
  const uint64_t* hash = &hashes_[k * step_];
  for (size_t j = 0; j < length; ++j) {
    low += RotateLeft(hash[j], turns_[j]);
    high ^= RotateLeft(hash[j], 64 - turns_[j]);
  }
  return Mix(high ^ Mix(low));
}

void UnitIdentities(const TextWords& text, int words, std::vector<Digest>& out) {
  const UnitHasher units(text, words);
  const size_t base = out.size();
  out.resize(base + units.count());
  for (size_t k = 0; k < units.count(); ++k) out[base + k] = units.At(k);
}

std::vector<Digest> UnitDigests(FlatSet& units) {
  std::vector<Digest> digests(units.ids.size());
  for (size_t k = 0; k < digests.size(); ++k) digests[k] = UnitDigest(units.ids[k]);
  units.ids = std::vector<uint64_t>();
  return digests;
}

FlatSet ProtectedOnly(FlatSet protected_set, const FlatSet& unprotected_set) {
  std::vector<uint64_t>& ids = protected_set.ids;
  std::vector<uint32_t>& files = protected_set.files;
  const std::vector<uint64_t>& other = unprotected_set.ids;
  auto at = other.begin();
  size_t kept = 0;
  for (size_t k = 0; k < ids.size(); ++k) {
    at = std::lower_bound(at, other.end(), ids[k]);
    if (at != other.end() && *at == ids[k]) continue;
    ids[kept] = ids[k];
    files[kept] = files[k];
    ++kept;
  }
  ids.resize(kept);
  files.resize(kept);
  FlatSet only;
  only.ids = std::move(ids);
  only.files = std::move(files);
  return only;
}

UnitSieve::UnitSieve(const std::vector<uint64_t>& ids) {
  uint64_t size = 64;  // bits: 16 a unit or more, so that about 6% of the others pass
  while (size < 16 * uint64_t{ids.size()}) size *= 2;
  mask_ = size - 1;
  bits_.assign(size / 64, 0);
  for (const uint64_t id : ids) {
    const uint64_t bit = id & mask_;
    bits_[bit / 64] |= uint64_t{1} << (bit % 64);
  }
}

namespace {

// The offset of the file indexes: after the header and the identities,
// each part starting at a multiple of 16 bytes.
size_t FilesOffset(size_t count) { return kChainsHeaderBytes + Padded(count * 8); }
size_t ChainsBytes(size_t count) { return FilesOffset(count) + Padded(count * 4); }

const char kZeros[16] = {};

}  // namespace

ChainsFileBytes::ChainsFileBytes(int32_t words, const FlatSet& units) {
  const size_t count = units.ids.size();
  header_.assign(kChainsHeaderBytes, '\0');
  std::memcpy(&header_[0], kChainsMagic, sizeof kChainsMagic);
  PutLittle(header_, 8, kChainsVersion, 4);
  PutLittle(header_, 12, static_cast<uint32_t>(words), 4);
  PutLittle(header_, 16, count, 8);
  const uint64_t* ids = units.ids.data();
  const uint32_t* files = units.files.data();
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  for (const uint64_t id : units.ids) ids_.push_back(__builtin_bswap64(id));
  for (const uint32_t file : units.files) files_.push_back(__builtin_bswap32(file));
  ids = ids_.data();
  files = files_.data();
#endif
  pieces = {{header_.data(), header_.size()},
            {ids, count * 8},
            {kZeros, Padded(count * 8) - count * 8},
            {files, count * 4},
            {kZeros, Padded(count * 4) - count * 4}};
  bytes = ChainsBytes(count);
  checksum = FileChecksum(pieces);
}

std::string FormatChainUnits(int32_t words, const FlatSet& units) {
  const ChainsFileBytes file(words, units);
  std::string out;
  out.reserve(file.bytes);
  for (const FilePiece& piece : file.pieces)
    out.append(static_cast<const char*>(piece.data), piece.bytes);
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
  if (words_read < 1 || words_read > 1000 || count > bytes.size() / 12 ||
      bytes.size() != ChainsBytes(count)) {
    error = "its size does not fit its header";
    return false;
  }
  words = static_cast<int32_t>(words_read);
  units.digests.clear();
  units.ids.resize(count);
  const unsigned char* ids = data + kChainsHeaderBytes;
  for (size_t k = 0; k < count; ++k) units.ids[k] = GetLittle(ids + 8 * k, 8);
  if (!std::is_sorted(units.ids.begin(), units.ids.end())) {
    error = "its digests are out of order";
    return false;
  }
  units.files.resize(count);
  const unsigned char* files = data + FilesOffset(count);
  for (size_t k = 0; k < count; ++k) units.files[k] = static_cast<uint32_t>(GetLittle(files + 4 * k, 4));
  return true;
}
