// The per-instruction-set kernels behind Md5Many (md5_lanes_sse2.cpp,
// md5_lanes_avx2.cpp, md5_lanes_avx512.cpp, each compiled with its own flags).
// They take plain pointers and sizes rather than string_views: see
// md5_lanes_engine.h.
#pragma once

#include <cstddef>

#include "core/digest.h"

struct Md5Message {
  const unsigned char* data;
  size_t size;
};

// out[i] = MD5(messages[i]) for i < count, each at its own vector width.
void Md5ManySse2(const Md5Message* messages, size_t count, Digest* out);
void Md5ManyAvx2(const Md5Message* messages, size_t count, Digest* out);
void Md5ManyAvx512(const Md5Message* messages, size_t count, Digest* out);
