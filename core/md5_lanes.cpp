#include "core/md5_lanes.h"

#define OPENSSL_SUPPRESS_DEPRECATED  // MD5_Init/Update/Final, as Md5Of uses them
#include <openssl/md5.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/md5_lanes_kernel.h"
#include "core/word_digests.h"

namespace {

constexpr const char* kLevelNames[] = {"openssl", "sse2", "avx2", "avx512"};

void Md5OneByOne(const std::string_view* messages, size_t count, Digest* out) {
  for (size_t i = 0; i < count; ++i) {
    MD5_CTX context;
    MD5_Init(&context);
    MD5_Update(&context, messages[i].data(), messages[i].size());
    MD5_Final(out[i].bytes, &context);
  }
}

using Kernel = void (*)(const Md5Message*, size_t, Digest*);

// The kernels take plain pointers and sizes (see md5_lanes_kernel.h), handed
// over in chunks on the stack; lanes are refilled within a chunk.
void RunKernel(Kernel kernel, const std::string_view* messages, size_t count, Digest* out) {
  constexpr size_t kChunk = 256;
  Md5Message chunk[kChunk];
  for (size_t first = 0; first < count; first += kChunk) {
    const size_t size = std::min(kChunk, count - first);
    for (size_t i = 0; i < size; ++i) {
      const std::string_view message = messages[first + i];
      chunk[i] = {reinterpret_cast<const unsigned char*>(message.data()), message.size()};
    }
    kernel(chunk, size, out + first);
  }
}

Md5Level WidestSupported() {
  for (Md5Level level : {Md5Level::kAvx512, Md5Level::kAvx2, Md5Level::kSse2})
    if (Md5LevelSupported(level)) return level;
  return Md5Level::kOpenSsl;
}

// The level must be supported: a kernel of an instruction set the processor
// lacks would fault.
void Run(Md5Level level, const std::string_view* messages, size_t count, Digest* out) {
  switch (level) {
    case Md5Level::kOpenSsl: return Md5OneByOne(messages, count, out);
    case Md5Level::kSse2: return RunKernel(Md5ManySse2, messages, count, out);
    case Md5Level::kAvx2: return RunKernel(Md5ManyAvx2, messages, count, out);
    case Md5Level::kAvx512: return RunKernel(Md5ManyAvx512, messages, count, out);
  }
}

// A group of lanes costs the same however few of its lanes are busy, so a
// small batch is better served by narrower lanes, or none (measured with
// bench/md5_lanes_bench: one group of 8, 16 and 32 lanes costs about 2, 2.5
// and 3 one-at-a-time digests).
Md5Level LevelForBatch(Md5Level chosen, size_t count) {
  const Md5Level fits = count <= 2    ? Md5Level::kOpenSsl
                        : count <= 8  ? Md5Level::kSse2
                        : count <= 16 ? Md5Level::kAvx2
                                      : Md5Level::kAvx512;
  return std::min(chosen, fits);
}

}  // namespace

bool Md5LevelSupported(Md5Level level) {
  __builtin_cpu_init();
  switch (level) {
    case Md5Level::kOpenSsl: return true;
    case Md5Level::kSse2: return __builtin_cpu_supports("sse2");
    case Md5Level::kAvx2: return __builtin_cpu_supports("avx2");
    case Md5Level::kAvx512: return __builtin_cpu_supports("avx512f");
  }
  return false;
}

Md5Level Md5LevelFor(const char* setting, Md5Level widest) {
  if (setting == nullptr) return widest;
  for (size_t i = 0; i < std::size(kLevelNames); ++i)
    if (std::strcmp(setting, kLevelNames[i]) == 0) return std::min(static_cast<Md5Level>(i), widest);
  return widest;
}

Md5Level Md5ChosenLevel() {
  static const Md5Level level = Md5LevelFor(std::getenv("TESSEL_MD5"), WidestSupported());
  return level;
}

const char* Md5LevelName(Md5Level level) { return kLevelNames[static_cast<int>(level)]; }

void Md5ManyAt(Md5Level level, const std::string_view* messages, size_t count, Digest* out) {
  Run(Md5LevelSupported(level) ? level : Md5Level::kOpenSsl, messages, count, out);
}

void Md5Many(const std::string_view* messages, size_t count, Digest* out) {
  Run(LevelForBatch(Md5ChosenLevel(), count), messages, count, out);
}
