// The floor of training: read and normalise every learning file once and take
// the MD5 digest of every shingle once per shingle length, keeping nothing.
// bench/train_bench.sh compares the tool's training time with this. With
// --lanes the digests are taken many at a time (Md5Many, at the level
// TESSEL_MD5 allows), in batches of a file's shingles.
//
// Usage: hash_baseline_bench [--lanes] LENGTHS PATTERN...   (LENGTHS e.g. 5, or 1,2)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "compat/settings.h"
#include "core/md5_lanes.h"
#include "core/text_words.h"
#include "core/word_digests.h"
#include "tool/file_list.h"

namespace {

constexpr size_t kBatch = 256;

// The first byte of every digest of the shingles of n words, folded.
unsigned char HashOneByOne(const TextWords& words, size_t n, size_t count) {
  unsigned char mix = 0;
  for (size_t k = 0; k < count; ++k) mix ^= Md5Of(words.Span(k, n)).bytes[0];
  return mix;
}

unsigned char HashInLanes(const TextWords& words, size_t n, size_t count) {
  unsigned char mix = 0;
  std::string_view spans[kBatch];
  Digest digests[kBatch];
  for (size_t first = 0; first < count; first += kBatch) {
    const size_t size = std::min(kBatch, count - first);
    for (size_t i = 0; i < size; ++i) spans[i] = words.Span(first + i, n);
    Md5Many(spans, size, digests);
    for (size_t i = 0; i < size; ++i) mix ^= digests[i].bytes[0];
  }
  return mix;
}

}  // namespace

int main(int argc, char** argv) {
  const bool lanes = argc > 1 && std::strcmp(argv[1], "--lanes") == 0;
  argv += lanes, argc -= lanes;
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s [--lanes] LENGTHS PATTERN...\n", argv[0]);
    return 2;
  }
  std::vector<int> lengths;
  for (const char* p = argv[1]; *p != '\0';) {
    char* end;
    lengths.push_back(static_cast<int>(std::strtol(p, &end, 10)));
    if (*end != ',' && *end != '\0') {  // not a number: stop rather than loop on it
      std::fprintf(stderr, "%s: bad LENGTHS %s\n", argv[0], argv[1]);
      return 2;
    }
    p = *end == ',' ? end + 1 : end;
  }
  const auto start = std::chrono::steady_clock::now();
  size_t shingles = 0;
  unsigned char mix = 0;
  for (int i = 2; i < argc; ++i) {
    for (const std::string& name : getFileList(argv[i])) {
      TextWords words(CurrentTextOptions());
      if (words.ReadFile(name, 1, std::cerr) != 0) continue;  // 0: read completely
      for (int n : lengths) {
        const size_t count = words.ShingleCount(n);
        mix ^= (lanes ? HashInLanes : HashOneByOne)(words, static_cast<size_t>(n), count);
        shingles += count;
      }
    }
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%zu shingles hashed in %.3f s (%s, %d)\n", shingles, seconds.count(),
              lanes ? Md5LevelName(Md5ChosenLevel()) : "one at a time", mix & 1);
  return 0;
}
