// The lane engine behind Md5Many, written once for any vector width. Each
// per-instruction-set file (md5_lanes_sse2/avx2/avx512.cpp) includes it with
// its own compiler flags and instantiates it with its vector type.
//
// Everything here has internal linkage and touches no inline function of the
// standard library: an out-of-line copy of such a function, compiled with
// -mavx512f in one of those files, could be the one the linker keeps for the
// whole program and run on a processor without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/md5_lanes_kernel.h"

namespace {

constexpr int kBlockBytes = 64;
constexpr size_t kLengthAt = 56;  // where the last block holds the bit length

constexpr uint32_t kInitial[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

// floor(abs(sin(i + 1)) * 2^32), the additive constant of step i.
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kRotation[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

constexpr int MessageWord(int step) {
  const int round = step / 16;
  return round == 0 ? step : round == 1 ? (5 * step + 1) % 16 : round == 2 ? (3 * step + 5) % 16 : 7 * step % 16;
}

// The round functions from and/or/xor, for instruction sets without a
// three-input logic instruction.
template <class Isa, int round>
inline typename Isa::V BitwiseMix(typename Isa::V b, typename Isa::V c, typename Isa::V d) {
  if constexpr (round == 0) return Isa::Xor(d, Isa::And(b, Isa::Xor(c, d)));
  if constexpr (round == 1) return Isa::Xor(c, Isa::And(d, Isa::Xor(b, c)));
  if constexpr (round == 2) return Isa::Xor(Isa::Xor(b, c), d);
  if constexpr (round == 3) return Isa::Xor(c, Isa::Or(b, Isa::Not(d)));
}

// Two groups of lanes side by side: each step's chain of dependent
// instructions is long and a vector unit can run several at once, so two
// independent chains in flight nearly double what one gives.
template <class Isa>
struct Twice {
  struct V {
    typename Isa::V low, high;
  };
  static constexpr int kLanes = 2 * Isa::kLanes;
  static V Load(const uint32_t* p) { return {Isa::Load(p), Isa::Load(p + Isa::kLanes)}; }
  static void Store(uint32_t* p, V v) {
    Isa::Store(p, v.low);
    Isa::Store(p + Isa::kLanes, v.high);
  }
  static V Set1(uint32_t x) { return {Isa::Set1(x), Isa::Set1(x)}; }
  static V Add(V a, V b) { return {Isa::Add(a.low, b.low), Isa::Add(a.high, b.high)}; }
  template <int s>
  static V Rotl(V x) { return {Isa::template Rotl<s>(x.low), Isa::template Rotl<s>(x.high)}; }
  template <int round>
  static V Mix(V b, V c, V d) {
    return {Isa::template Mix<round>(b.low, c.low, d.low), Isa::template Mix<round>(b.high, c.high, d.high)};
  }
  static void Transpose(const unsigned char* const* blocks, V* m) {
    typename Isa::V low[16], high[16];
    Isa::Transpose(blocks, low);
    Isa::Transpose(blocks + Isa::kLanes, high);
    for (int j = 0; j < 16; ++j) m[j] = {low[j], high[j]};
  }
};

// One of the 64 steps. The roles a, b, c, d turn by one register each step;
// a + constant + message word is summed first, off the chain through b.
template <class Isa, int step>
__attribute__((always_inline)) inline void Step(typename Isa::V* abcd, const typename Isa::V* m) {
  using V = typename Isa::V;
  V& a = abcd[(64 - step) % 4];
  const V b = abcd[(65 - step) % 4], c = abcd[(66 - step) % 4], d = abcd[(67 - step) % 4];
  const V sum = Isa::Add(Isa::Add(a, Isa::Set1(kSine[step])), m[MessageWord(step)]);
  const V mixed = Isa::template Mix<step / 16>(b, c, d);
  a = Isa::Add(b, Isa::template Rotl<kRotation[step / 16][step % 4]>(Isa::Add(sum, mixed)));
}

template <class Isa, int... steps>
__attribute__((always_inline)) inline void AllSteps(typename Isa::V* abcd, const typename Isa::V* m,
                                                    std::integer_sequence<int, steps...>) {
  (Step<Isa, steps>(abcd, m), ...);
}

// Runs one block of every lane: state[word][lane] holds the lanes' chaining
// values, blocks[lane] their next 64 bytes. When every lane starts a message
// (short messages: always) the state is known without reading it back from
// the scalar stores that reset it, which would stall the vector loads.
template <class Isa>
inline void Compress(uint32_t (*state)[Isa::kLanes], const unsigned char* const* blocks, bool all_initial) {
  using V = typename Isa::V;
  V m[16];
  Isa::Transpose(blocks, m);
  V start[4], abcd[4];
  for (int i = 0; i < 4; ++i) abcd[i] = start[i] = all_initial ? Isa::Set1(kInitial[i]) : Isa::Load(state[i]);
  AllSteps<Isa>(abcd, m, std::make_integer_sequence<int, 64>());
  for (int i = 0; i < 4; ++i) Isa::Store(state[i], Isa::Add(abcd[i], start[i]));
}

// A message in one lane: how much of its padded form has been hashed.
struct Lane {
  const unsigned char* data;
  size_t size;
  size_t done;     // bytes of the padded message already hashed, a multiple of 64
  size_t message;  // its index in the batch
  bool busy;
};

// Copies size < 64 bytes with a few fixed-size moves, overlapping where
// needed: shingles are short, and a call of the library's memcpy per message
// costs about as much as hashing it.
inline void CopyShort(unsigned char* to, const unsigned char* from, size_t size) {
  if (size >= 16) {
    for (size_t at = 0; at + 16 < size; at += 16) std::memcpy(to + at, from + at, 16);
    std::memcpy(to + size - 16, from + size - 16, 16);
  } else if (size >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + size - 8, from + size - 8, 8);
  } else if (size >= 4) {
    std::memcpy(to, from, 4);
    std::memcpy(to + size - 4, from + size - 4, 4);
  } else {
    for (size_t i = 0; i < size; ++i) to[i] = from[i];
  }
}

// Points block at the lane's next 64 bytes: the message itself while a whole
// block of it remains, otherwise scratch holding its tail, the 0x80 marker,
// zeros and, in the last block, the length in bits. True for the last block.
inline bool NextBlock(Lane& lane, unsigned char* scratch, const unsigned char*& block) {
  const size_t at = lane.done;
  lane.done += kBlockBytes;
  if (at + kBlockBytes <= lane.size) {
    block = lane.data + at;
    return false;
  }
  block = scratch;
  std::memset(scratch, 0, kBlockBytes);
  size_t used = 0;
  if (at <= lane.size) {  // the marker is not yet written
    used = lane.size - at;
    CopyShort(scratch, lane.data + at, used);
    scratch[used++] = 0x80;
  }
  if (used > kLengthAt) return false;  // no room for the length: one more block
  const uint64_t bits = static_cast<uint64_t>(lane.size) * 8;
  std::memcpy(scratch + kLengthAt, &bits, sizeof bits);
  return true;
}

// Hands the lane the next message of the batch, if any, from the initial state.
template <int lanes>
inline void StartLane(Lane& lane, uint32_t (*state)[lanes], int index, const Md5Message* messages,
                      size_t count, size_t& next) {
  lane.busy = next < count;
  if (!lane.busy) return;
  lane.data = messages[next].data;
  lane.size = messages[next].size;
  lane.done = 0;
  lane.message = next++;
  for (int i = 0; i < 4; ++i) state[i][index] = kInitial[i];
}

// Every lane hashes one message after another: a lane that finishes takes
// the next message at once, so messages of different lengths share the
// lanes without waiting for the longest of a group.
template <class Isa>
void HashInLanes(const Md5Message* messages, size_t count, Digest* out) {
  constexpr int kLanes = Isa::kLanes;
  alignas(64) uint32_t state[4][kLanes] = {};
  alignas(64) unsigned char scratch[kLanes][kBlockBytes];
  alignas(64) static const unsigned char kIdleBlock[kBlockBytes] = {};
  const unsigned char* blocks[kLanes];
  bool last[kLanes];
  Lane lanes[kLanes];
  size_t next = 0;
  for (int k = 0; k < kLanes; ++k) StartLane(lanes[k], state, k, messages, count, next);
  for (size_t finished = 0; finished < count;) {
    bool all_initial = true;  // idle lanes' state does not matter
    for (int k = 0; k < kLanes; ++k) {
      all_initial &= !lanes[k].busy || lanes[k].done == 0;
      blocks[k] = kIdleBlock;
      last[k] = lanes[k].busy && NextBlock(lanes[k], scratch[k], blocks[k]);
    }
    Compress<Isa>(state, blocks, all_initial);
    for (int k = 0; k < kLanes; ++k) {
      if (!last[k]) continue;
      const uint32_t words[4] = {state[0][k], state[1][k], state[2][k], state[3][k]};
      std::memcpy(out[lanes[k].message].bytes, words, sizeof words);  // little-endian, as MD5 wants
      ++finished;
      StartLane(lanes[k], state, k, messages, count, next);
    }
  }
}

}  // namespace
