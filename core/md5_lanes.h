// MD5 of many independent messages at once: shingles are short separate
// messages, so several are hashed side by side in the lanes of the widest
// vector unit the processor has. The digests are exactly OpenSSL's.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "core/digest.h"

// How the digests are taken: OpenSSL one message at a time, or 8, 16 or 32
// messages at once in the lanes of two SSE2, AVX2 or AVX-512 vectors.
enum class Md5Level { kOpenSsl, kSse2, kAvx2, kAvx512 };

// out[i] = MD5(messages[i]) for every i < count, at Md5ChosenLevel() (or a
// narrower level for a batch of a few messages). The messages may have any
// lengths, mixed; out must not overlap them. Batches of a few hundred give
// the lanes the most to do.
void Md5Many(const std::string_view* messages, size_t count, Digest* out);
// The same at a given level (tests and benchmarks); a level the processor
// lacks runs as OpenSSL.
void Md5ManyAt(Md5Level level, const std::string_view* messages, size_t count, Digest* out);

bool Md5LevelSupported(Md5Level level);
// The widest supported level, unless TESSEL_MD5 says otherwise; read once.
Md5Level Md5ChosenLevel();
// The level a TESSEL_MD5 value asks for, given the widest supported one:
// "openssl", "sse2", "avx2" or "avx512", never above widest; any other
// value, or none, gives widest.
Md5Level Md5LevelFor(const char* setting, Md5Level widest);
const char* Md5LevelName(Md5Level level);

// Hashes count messages in batches of Md5Many: message(k) gives message k and
// take(k, digest) receives its digest, in order of k.
template <typename Message, typename Take>
void Md5Each(size_t count, Message message, Take take) {
  constexpr size_t kBatch = 256;
  std::string_view messages[kBatch];
  Digest digests[kBatch];
  for (size_t first = 0; first < count; first += kBatch) {
    const size_t n = std::min(kBatch, count - first);
    for (size_t j = 0; j < n; ++j) messages[j] = message(first + j);
    Md5Many(messages, n, digests);
    for (size_t j = 0; j < n; ++j) take(first + j, digests[j]);
  }
}
