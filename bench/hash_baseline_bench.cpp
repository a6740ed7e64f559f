// The floor of training: read and normalise every learning file once and take
// the MD5 digest of every shingle once per shingle length, keeping nothing.
// bench/train_bench.sh compares the tool's training time with this.
//
// Usage: hash_baseline_bench LENGTHS PATTERN...   (LENGTHS e.g. 5, or 1,2)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/text_words.h"
#include "tool/file_list.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s LENGTHS PATTERN...\n", argv[0]);
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
      TextWords words;
      if (words.ReadFile(name) != 0) continue;  // 0: read completely
      for (int n : lengths) {
        const size_t count = words.ShingleCount(n);
        for (size_t k = 0; k < count; ++k)
          mix ^= Md5Of(words.Span(k, static_cast<size_t>(n))).bytes[0];
        shingles += count;
      }
    }
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%zu shingles hashed in %.3f s (%d)\n", shingles, seconds.count(), mix & 1);
  return 0;
}
