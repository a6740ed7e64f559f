// Eight messages at once in two 128-bit SSE2 vectors of four lanes (every
// x86-64 processor has SSE2).
#include <emmintrin.h>

#include "core/md5_lanes_engine.h"

namespace {

struct Sse2 {
  using V = __m128i;
  static constexpr int kLanes = 4;
  static V Load(const uint32_t* p) { return _mm_load_si128(reinterpret_cast<const V*>(p)); }
  static void Store(uint32_t* p, V v) { _mm_store_si128(reinterpret_cast<V*>(p), v); }
  static V Set1(uint32_t x) { return _mm_set1_epi32(static_cast<int>(x)); }
  static V Add(V a, V b) { return _mm_add_epi32(a, b); }
  static V And(V a, V b) { return _mm_and_si128(a, b); }
  static V Or(V a, V b) { return _mm_or_si128(a, b); }
  static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
  static V Not(V a) { return _mm_xor_si128(a, _mm_set1_epi32(-1)); }
  template <int s>
  static V Rotl(V x) { return _mm_or_si128(_mm_slli_epi32(x, s), _mm_srli_epi32(x, 32 - s)); }
  template <int round>
  static V Mix(V b, V c, V d) { return BitwiseMix<Sse2, round>(b, c, d); }

  // m[j] = word j of every lane's block: four 4x4 transposes.
  static void Transpose(const unsigned char* const* blocks, V* m) {
    for (int q = 0; q < 4; ++q) {
      V r[4];
      for (int k = 0; k < 4; ++k) r[k] = _mm_loadu_si128(reinterpret_cast<const V*>(blocks[k] + 16 * q));
      const V t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[3]);
      const V t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
      m[4 * q + 0] = _mm_unpacklo_epi64(t0, t1);
      m[4 * q + 1] = _mm_unpackhi_epi64(t0, t1);
      m[4 * q + 2] = _mm_unpacklo_epi64(t2, t3);
      m[4 * q + 3] = _mm_unpackhi_epi64(t2, t3);
    }
  }
};

}  // namespace

void Md5ManySse2(const Md5Message* messages, size_t count, Digest* out) {
  HashInLanes<Twice<Sse2>>(messages, count, out);
}
