// Time per message of the multi-buffer MD5 at each level against OpenSSL's
// one-at-a-time MD5, for shingle-sized messages (10 to 60 bytes) handed over
// in batches as a document's shingles would be.
//
//   build/bench/md5_lanes_bench        (column per_message: 25.1n is 25.1 ns)
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "core/md5_lanes.h"

namespace {

// Hashes batches of the size, of messages of the length, at the level.
void Measure(benchmark::State& state, Md5Level level, size_t batch, size_t length) {
  if (!Md5LevelSupported(level)) return state.SkipWithError("the processor lacks this level");
  std::mt19937 random(5);
  std::string text(batch + length, '\0');
  for (char& byte : text) byte = static_cast<char>('A' + random() % 26);
  std::vector<std::string_view> messages;
  for (size_t i = 0; i < batch; ++i) messages.push_back(std::string_view(text).substr(i, length));
  std::vector<Digest> out(batch);
  for (auto _ : state) {
    Md5ManyAt(level, messages.data(), messages.size(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetLabel(Md5LevelName(level));
  state.counters["per_message"] = benchmark::Counter(
      static_cast<double>(batch), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void HashBatch(benchmark::State& state) {
  Measure(state, static_cast<Md5Level>(state.range(0)), 4096, static_cast<size_t>(state.range(1)));
}

// Small batches: a group of lanes costs the same however few of them are busy.
void HashSmallBatch(benchmark::State& state) {
  Measure(state, static_cast<Md5Level>(state.range(0)), static_cast<size_t>(state.range(1)), 20);
}

BENCHMARK(HashBatch)->ArgNames({"level", "bytes"})->ArgsProduct({{0, 1, 2, 3}, {10, 20, 40, 60}});
BENCHMARK(HashSmallBatch)->ArgNames({"level", "count"})->ArgsProduct({{0, 1, 2, 3}, {1, 2, 4, 8, 16, 32}});

}  // namespace

BENCHMARK_MAIN();
