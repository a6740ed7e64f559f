// Mapping a set file into a count index and searching it. Whatever the bytes
// (records in any order, duplicates, a trailing partial record, thousands of
// records in rounds that share their leading bytes), the index holds every
// complete record in ascending order, and every form of look-up answers as a
// binary search of the sorted records does, for the records and near misses.
#include <algorithm>
#include <vector>

#include "core/digest_index.h"
#include "support/test_support.h"

namespace {

std::vector<Digest> RecordsOf(const std::string& bytes) {
  std::vector<Digest> records(bytes.size() / kDigestSize);
  for (size_t i = 0; i < records.size(); ++i)
    std::memcpy(records[i].bytes, bytes.data() + i * kDigestSize, kDigestSize);
  return records;
}

// Many records made from a few: the input's records again and again, each
// round with other leading bytes, spread over the whole range, so that the
// directory has many buckets and every round's records share one. (Records
// that all share their leading eight bytes fall into one bucket, searched
// one by one: probing every record of a large file made that way would take
// quadratic time, so it is left out here.)
std::vector<Digest> Spread(const std::vector<Digest>& seeds, size_t count) {
  const size_t round_size = seeds.empty() ? 1 : seeds.size();
  std::vector<Digest> records(count, Digest{});
  for (size_t i = 0; i < count; ++i) {
    if (!seeds.empty()) records[i] = seeds[i % round_size];
    const uint32_t leading = static_cast<uint32_t>(i / round_size) * 0x9E3779B1u;
    std::memcpy(records[i].bytes, &leading, sizeof leading);
  }
  return records;
}

// The records, their near misses and the two ends of the digest range.
std::vector<Digest> Probes(const std::vector<Digest>& records) {
  std::vector<Digest> probes = records;
  for (const Digest& record : records) {
    ++probes.emplace_back(record).bytes[kDigestSize - 1];
    ++probes.emplace_back(record).bytes[0];
  }
  probes.push_back(Digest{});
  std::memset(probes.emplace_back().bytes, 0xff, kDigestSize);
  return probes;
}

void CheckLookups(const CountIndex& index, const std::vector<Digest>& sorted) {
  const std::vector<Digest> probes = Probes(sorted);
  std::vector<int32_t> counts(probes.size());
  std::vector<size_t> positions(probes.size());
  index.CountMany(probes.data(), probes.size(), counts.data());
  index.FindMany(probes.data(), probes.size(), positions.data());
  for (size_t i = 0; i < probes.size(); ++i) {
    const unsigned char* probe = probes[i].bytes;
    const bool held = std::binary_search(sorted.begin(), sorted.end(), probes[i]);
    const size_t at = index.Find(probe);
    if (index.Contains(probe) != held || index.Count(probe) != (held ? 1 : 0) ||
        counts[i] != index.Count(probe) || positions[i] != at ||
        (at == CountIndex::kAbsent) == held || (held && index.begin()[at] != probes[i]))
      abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const int shape = input.Pick(0, 2);  // as they come, ascending, spread
  const size_t spread = static_cast<size_t>(input.Pick(1, 16)) * 256;
  const std::string bytes = input.Rest();
  std::vector<Digest> records = RecordsOf(bytes);
  if (shape == 1) std::sort(records.begin(), records.end());
  if (shape == 2) records = Spread(records, spread);
  std::string file(reinterpret_cast<const char*>(records.data()), records.size() * kDigestSize);
  file += bytes.substr(bytes.size() - bytes.size() % kDigestSize);  // a partial record, if any
  const std::string path = std::string(FuzzWorkDir()) + "/set.bin";
  WriteFile(path, file);

  CountIndex index;
  if (!CountIndex::Load(path, index).ok() || index.records() != records.size() ||
      index.size() != records.size())
    abort();
  std::vector<Digest> sorted = records;
  std::sort(sorted.begin(), sorted.end());
  if (!std::equal(sorted.begin(), sorted.end(), index.begin(), index.end())) abort();
  index.BuildDirectory();
  CheckLookups(index, sorted);
  return 0;
}
