// Sixteen messages at once in two 256-bit AVX2 vectors of eight lanes;
// compiled with -mavx2 and called only when the processor has AVX2.
#include <immintrin.h>

#include "core/md5_lanes_engine.h"

namespace {

struct Avx2 {
  using V = __m256i;
  static constexpr int kLanes = 8;
  static V Load(const uint32_t* p) { return _mm256_load_si256(reinterpret_cast<const V*>(p)); }
  static void Store(uint32_t* p, V v) { _mm256_store_si256(reinterpret_cast<V*>(p), v); }
  static V Set1(uint32_t x) { return _mm256_set1_epi32(static_cast<int>(x)); }
  static V Add(V a, V b) { return _mm256_add_epi32(a, b); }
  static V And(V a, V b) { return _mm256_and_si256(a, b); }
  static V Or(V a, V b) { return _mm256_or_si256(a, b); }
  static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
  static V Not(V a) { return _mm256_xor_si256(a, _mm256_set1_epi32(-1)); }
  template <int s>
  static V Rotl(V x) { return _mm256_or_si256(_mm256_slli_epi32(x, s), _mm256_srli_epi32(x, 32 - s)); }
  template <int round>
  static V Mix(V b, V c, V d) { return BitwiseMix<Avx2, round>(b, c, d); }

  // m[j] = word j of every lane's block: two 8x8 transposes.
  static void Transpose(const unsigned char* const* blocks, V* m) {
    for (int h = 0; h < 2; ++h) {
      V r[8], t[8], u[8];
      for (int k = 0; k < 8; ++k) r[k] = _mm256_loadu_si256(reinterpret_cast<const V*>(blocks[k] + 32 * h));
      for (int k = 0; k < 8; k += 2) {
        t[k] = _mm256_unpacklo_epi32(r[k], r[k + 1]);
        t[k + 1] = _mm256_unpackhi_epi32(r[k], r[k + 1]);
      }
      // u[4g + w] holds word w (and w + 4 in the upper half) of rows 4g .. 4g + 3.
      for (int g = 0; g < 8; g += 4) {
        u[g + 0] = _mm256_unpacklo_epi64(t[g], t[g + 2]);
        u[g + 1] = _mm256_unpackhi_epi64(t[g], t[g + 2]);
        u[g + 2] = _mm256_unpacklo_epi64(t[g + 1], t[g + 3]);
        u[g + 3] = _mm256_unpackhi_epi64(t[g + 1], t[g + 3]);
      }
      for (int w = 0; w < 4; ++w) {
        m[8 * h + w] = _mm256_permute2x128_si256(u[w], u[w + 4], 0x20);
        m[8 * h + w + 4] = _mm256_permute2x128_si256(u[w], u[w + 4], 0x31);
      }
    }
  }
};

}  // namespace

void Md5ManyAvx2(const Md5Message* messages, size_t count, Digest* out) {
  HashInLanes<Twice<Avx2>>(messages, count, out);
}
