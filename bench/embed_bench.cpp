// _processShingles against a model trained on 50 MB of generated Windows-1251
// text: documents of 1 KB, 10 KB and 100 KB. Reports documents/s (items) and
// MB/s (bytes), and the memory of the open model per million records.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <random>
#include <sstream>
#include <vector>

#include "compat/builder.h"
#include "compat/shingle_file.h"
#include "embed/tessel.h"

namespace {

constexpr size_t kSideBytes = 25u << 20;  // per side: 50 MB of learning text
constexpr size_t kChunkBytes = 2u << 20;  // one "learning file"
constexpr int kVocabulary = 60000;

// Words of 2 to 12 lower-case Cyrillic letters; each side of the model and
// each kind of document ranks them differently and draws them Zipf-like.
class TextSource {
 public:
  TextSource(unsigned seed, const std::vector<std::string>& words)
      : random_(seed), words_(words), order_(words.size()) {
    std::iota(order_.begin(), order_.end(), 0);
    std::shuffle(order_.begin(), order_.end(), random_);
    double sum = 0;
    for (size_t rank = 0; rank < words.size(); ++rank) {
      sum += 1.0 / static_cast<double>(rank + 1);
      cumulative_.push_back(sum);
    }
  }

  std::string Text(size_t bytes) {
    std::uniform_real_distribution<double> uniform(0, cumulative_.back());
    std::string out;
    out.reserve(bytes + 16);
    while (out.size() < bytes) {
      size_t rank = std::upper_bound(cumulative_.begin(), cumulative_.end(), uniform(random_)) -
                    cumulative_.begin();
      out += words_[order_[std::min(rank, order_.size() - 1)]];
      unsigned r = random_() % 16;
      out += r == 0 ? ".\r\n" : r == 1 ? ", " : " ";
    }
    out.resize(bytes);
    out.back() = '\n';
    return out;
  }

 private:
  std::mt19937 random_;
  const std::vector<std::string>& words_;
  std::vector<size_t> order_;
  std::vector<double> cumulative_;
};

std::vector<std::string> Vocabulary(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> words;
  for (int i = 0; i < kVocabulary; ++i) {
    std::string word;
    int length = 2 + static_cast<int>(random() % 11);
    for (int j = 0; j < length; ++j) word.push_back(static_cast<char>(0xE0 + random() % 32));
    words.push_back(word);
  }
  return words;
}

// Digests of every distinct shingle of n words in a side's learning text.
void TrainSide(TextSource& source, int n, const std::string& path) {
  CShingleSet side;
  for (size_t done = 0, chunks = 0; done < kSideBytes; done += kChunkBytes, ++chunks) {
    std::istringstream in(source.Text(kChunkBytes));
    CShingleSet file;
    _BuildShingles(in, file, n);
    for (CShingle& shingle : file.list) std::string().swap(shingle.text);
    Unique(file);
    side.list.splice(side.list.end(), file.list);
    if (chunks % 4 == 3) Unique(side);
  }
  Unique(side);
  saveShinglesToFile(path, side);
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

struct Model {
  tessel_model* handle = nullptr;
  tessel_t* shared = nullptr;  // the same files through the thread-safe interface
  double records = 0;
  double bytes_per_million = 0;
  std::vector<std::string> words = Vocabulary(1);
  std::vector<std::string> unseen = Vocabulary(2);
};

Model& TheModel() {
  static Model model = [] {
    Model m;
    char pattern[] = "/tmp/tessel_bench_XXXXXX";
    std::string dir = mkdtemp(pattern);
    // Each side is generated twice from one seed so that its word and pair
    // files describe the same text.
    for (int n : {1, 2}) {
      TextSource protected_text(11, m.words), unprotected_text(12, m.words);
      std::string suffix = n == 2 ? ".2" : "";
      TrainSide(protected_text, n, dir + "/p.bin" + suffix);
      TrainSide(unprotected_text, n, dir + "/u.bin" + suffix);
    }
    for (const char* name : {"p.bin", "p.bin.2", "u.bin", "u.bin.2"})
      m.records += static_cast<double>(std::filesystem::file_size(dir + "/" + name) / 16);
    long before = ResidentBytes();
    m.handle = _openShingles(dir.c_str());
    m.bytes_per_million = static_cast<double>(ResidentBytes() - before) / m.records * 1e6;
    m.shared = tessel_open(dir.c_str(), nullptr);
    std::filesystem::remove_all(dir);
    return m;
  }();
  return model;
}

// Formula lines of flagged documents go to a sink, not the terminal.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// kind 0: text like the protected side (usually flagged early);
// kind 1: text like neither side's ranking but of the same words;
// kind 2: words the model has never seen (every window scanned).
void BM_ProcessShingles(benchmark::State& state) {
  Model& model = TheModel();
  const size_t bytes = static_cast<size_t>(state.range(0));
  const int kind = static_cast<int>(state.range(1));
  TextSource source(kind == 0 ? 11 : 13, kind == 2 ? model.unseen : model.words);
  std::string text = source.Text(bytes);
  NullBuffer sink;
  std::streambuf* old = std::cout.rdbuf(&sink);
  int flagged = 0;
  for (auto _ : state) {
    flagged = _processShingles(model.handle, text.c_str(), static_cast<int>(text.size()));
    benchmark::DoNotOptimize(flagged);
  }
  std::cout.rdbuf(old);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["flagged"] = flagged;
  state.counters["model_records"] = model.records;
  state.counters["bytes_per_million_records"] = model.bytes_per_million;
}

BENCHMARK(BM_ProcessShingles)
    ->ArgsProduct({{1 << 10, 10 << 10, 100 << 10}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);

// The same documents through tessel_judge, one thread or several sharing the
// model; with several, items/s is the sum over the threads (real time).
void BM_TesselJudge(benchmark::State& state) {
  Model& model = TheModel();
  const size_t bytes = static_cast<size_t>(state.range(0));
  const int kind = static_cast<int>(state.range(1));
  TextSource source(kind == 0 ? 11 : 13 + static_cast<unsigned>(state.thread_index()),
                    kind == 2 ? model.unseen : model.words);
  std::string text = source.Text(bytes);
  tessel_settings_t settings;
  tessel_settings_default(&settings);
  int flagged = 0;
  for (auto _ : state) {
    flagged = tessel_judge(model.shared, text.data(), text.size(), &settings, nullptr, nullptr);
    benchmark::DoNotOptimize(flagged);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["flagged"] = flagged;
}

BENCHMARK(BM_TesselJudge)
    ->ArgsProduct({{1 << 10, 10 << 10, 100 << 10}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TesselJudge)
    ->Args({1 << 20, 1})
    ->Args({1 << 20, 2})
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
