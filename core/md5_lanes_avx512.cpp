// 32 messages at once in two 512-bit AVX-512 vectors of sixteen lanes;
// compiled with -mavx512f and called only when the processor (and its
// operating system) has it.
#include <immintrin.h>

// GCC 12 reports the deliberately undefined vectors inside its own AVX-512
// intrinsics (_mm512_undefined_epi32) as uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include "core/md5_lanes_engine.h"

namespace {

struct Avx512 {
  using V = __m512i;
  static constexpr int kLanes = 16;
  static V Load(const uint32_t* p) { return _mm512_load_si512(p); }
  static void Store(uint32_t* p, V v) { _mm512_store_si512(p, v); }
  static V Set1(uint32_t x) { return _mm512_set1_epi32(static_cast<int>(x)); }
  static V Add(V a, V b) { return _mm512_add_epi32(a, b); }
  template <int s>
  static V Rotl(V x) { return _mm512_rol_epi32(x, s); }
  // Each round function is one three-input logic instruction; the immediate
  // is its truth table over (b, c, d).
  template <int round>
  static V Mix(V b, V c, V d) {
    constexpr int kTable[4] = {0xca, 0xe4, 0x96, 0x39};
    return _mm512_ternarylogic_epi32(b, c, d, kTable[round]);
  }

  // m[j] = word j of every lane's block: one 16x16 transpose.
  static void Transpose(const unsigned char* const* blocks, V* m) {
    V r[16], t[16], u[16];
    for (int k = 0; k < 16; ++k) r[k] = _mm512_loadu_si512(blocks[k]);
    for (int k = 0; k < 16; k += 2) {
      t[k] = _mm512_unpacklo_epi32(r[k], r[k + 1]);
      t[k + 1] = _mm512_unpackhi_epi32(r[k], r[k + 1]);
    }
    // u[4g + w]: in its 128-bit part q, word 4q + w of rows 4g .. 4g + 3.
    for (int g = 0; g < 16; g += 4) {
      u[g + 0] = _mm512_unpacklo_epi64(t[g], t[g + 2]);
      u[g + 1] = _mm512_unpackhi_epi64(t[g], t[g + 2]);
      u[g + 2] = _mm512_unpacklo_epi64(t[g + 1], t[g + 3]);
      u[g + 3] = _mm512_unpackhi_epi64(t[g + 1], t[g + 3]);
    }
    for (int w = 0; w < 4; ++w) {
      const V low01 = _mm512_shuffle_i32x4(u[w], u[w + 4], 0x44);    // parts 0, 1 of rows 0-7
      const V high01 = _mm512_shuffle_i32x4(u[w + 8], u[w + 12], 0x44);
      const V low23 = _mm512_shuffle_i32x4(u[w], u[w + 4], 0xee);    // parts 2, 3 of rows 0-7
      const V high23 = _mm512_shuffle_i32x4(u[w + 8], u[w + 12], 0xee);
      m[w] = _mm512_shuffle_i32x4(low01, high01, 0x88);
      m[w + 4] = _mm512_shuffle_i32x4(low01, high01, 0xdd);
      m[w + 8] = _mm512_shuffle_i32x4(low23, high23, 0x88);
      m[w + 12] = _mm512_shuffle_i32x4(low23, high23, 0xdd);
    }
  }
};

}  // namespace

void Md5ManyAvx512(const Md5Message* messages, size_t count, Digest* out) {
  HashInLanes<Twice<Avx512>>(messages, count, out);
}
