// Shingle building against the cost nobody can avoid: one MD5 per shingle
// over texts of pre-split words.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <openssl/md5.h>
#include <malloc.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "compat/builder.h"
#include "compat/shingle_file.h"

namespace {

constexpr size_t kTextBytes = 4 << 20;

// Windows-1251 prose: words of 2 to 10 lower-case Cyrillic letters, with some
// punctuation and line ends, from a fixed seed.
const std::string& GeneratedText() {
  static const std::string text = [] {
    std::mt19937 random(42);
    std::vector<std::string> vocabulary;
    for (int i = 0; i < 20000; ++i) {
      std::string word;
      int length = 2 + static_cast<int>(random() % 9);
      for (int j = 0; j < length; ++j) word.push_back(static_cast<char>(0xE0 + random() % 32));
      vocabulary.push_back(word);
    }
    std::string out;
    while (out.size() < kTextBytes) {
      out += vocabulary[random() % vocabulary.size()];
      unsigned r = random() % 20;
      out += r == 0 ? ".\n" : r == 1 ? ", " : " ";
    }
    return out;
  }();
  return text;
}

std::vector<std::string> UpperWords() {
  std::vector<std::string> words;
  std::string word;
  for (unsigned char c : GeneratedText()) {
    if (c >= 0xC0) {
      word.push_back(static_cast<char>(c >= 0xE0 ? c - 32 : c));
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

// Frees a built set and lets the allocator consolidate the freed records now,
// so that the next timed build does not pay for tidying up this one.
void ReleaseOutsideTiming(CShingleSet& set) {
  set = CShingleSet();
  malloc_trim(0);
}

void BM_Md5Baseline(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  static const std::vector<std::string> words = UpperWords();
  std::string text;
  unsigned char digest[16];
  for (auto _ : state) {
    for (size_t i = 0; i + n <= words.size(); ++i) {
      text = words[i];
      for (int k = 1; k < n; ++k) (text += ' ') += words[i + k];
      MD5(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
      benchmark::DoNotOptimize(digest);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * GeneratedText().size()));
}

void BM_BuildStream(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    std::istringstream in(GeneratedText());
    CShingleSet set;
    _BuildShingles(in, set, n);
    benchmark::DoNotOptimize(set.total);
    state.PauseTiming();  // releasing the set is not part of building it
    ReleaseOutsideTiming(set);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * GeneratedText().size()));
}

void BM_BuildLearningFile(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::string path = "/tmp/tessel-bench-text-" + std::to_string(getpid());
  std::ofstream(path, std::ios::binary) << GeneratedText();
  for (auto _ : state) {
    CShingleSet set;
    BuildShingles(path, set, n);
    benchmark::DoNotOptimize(set.total);
    state.PauseTiming();
    ReleaseOutsideTiming(set);
    state.ResumeTiming();
  }
  unlink(path.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * GeneratedText().size()));
}

void BM_LoadMillionRecords(benchmark::State& state) {
  const std::string path = "/tmp/tessel-bench-set-" + std::to_string(getpid());
  {
    std::mt19937 random(7);
    std::string bytes(16u << 20, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  for (auto _ : state) {
    CShingleSet set;
    loadShinglesFromFile(path, set);
    benchmark::DoNotOptimize(set.list.size());
  }
  unlink(path.c_str());
}

long ResidentBytes() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// Memory held by a set of built shingles, per million records, for list only
// and after ConvertToSet.
void BM_MemoryPerMillionShingles(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    long before = ResidentBytes();
    CShingleSet set;
    std::istringstream in(GeneratedText());
    _BuildShingles(in, set, n);
    long with_list = ResidentBytes();
    set.ConvertToSet();
    long with_set = ResidentBytes();
    double millions = static_cast<double>(set.list.size()) / 1e6;
    state.counters["list_MB_per_M"] = static_cast<double>(with_list - before) / 1e6 / millions;
    state.counters["list_and_set_MB_per_M"] =
        static_cast<double>(with_set - before) / 1e6 / millions;
  }
}

}  // namespace

BENCHMARK(BM_MemoryPerMillionShingles)->Arg(1)->Arg(5)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Md5Baseline)->Arg(1)->Arg(2)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildStream)->Arg(1)->Arg(2)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildLearningFile)->Arg(1)->Arg(2)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMillionRecords)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
