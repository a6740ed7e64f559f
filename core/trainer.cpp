#include "core/trainer.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <ostream>
#include <new>
#include <sstream>

#include "core/digest_table.h"
#include "core/md5_lanes.h"
#include "core/ordered_run.h"
#include "core/out_of_memory.h"
#include "core/saturating.h"
#include "core/shingle_shift.h"
#include "core/text_words.h"

namespace {

// Records are gathered in one bucket per leading digest byte, so that the
// final sort needs scratch space for one bucket only.
constexpr size_t kBuckets = 256;

// A growing array of plain values in its own anonymous mapping. Growing
// remaps the pages instead of copying them, and releasing hands them back to
// the system at once, so a large training never holds its records twice.
template <typename T>
class MappedArray {
 public:
  MappedArray() = default;
  MappedArray(const MappedArray&) = delete;
  MappedArray& operator=(const MappedArray&) = delete;
  ~MappedArray() { Release(); }

  void push_back(const T& value) {
    if (size_ == capacity_) Grow();
    data_[size_++] = value;
  }
  const T* data() const { return data_; }
  T* data() { return data_; }
  size_t size() const { return size_; }

  void Release() {
    if (data_ != nullptr) munmap(data_, capacity_ * sizeof(T));
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

 private:
  static constexpr size_t kFirstBytes = 1 << 16;

  void Grow() {
    const size_t old_bytes = capacity_ * sizeof(T);
    const size_t new_bytes = capacity_ == 0 ? kFirstBytes : 2 * old_bytes;
    void* grown = data_ == nullptr
                      ? mmap(nullptr, new_bytes, PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                      : mremap(data_, old_bytes, new_bytes, MREMAP_MAYMOVE);
    if (grown == MAP_FAILED) throw std::bad_alloc();
    data_ = static_cast<T*>(grown);
    capacity_ = new_bytes / sizeof(T);
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// One distinct shingle of a file and its occurrences there.
struct DistinctShingle {
  Digest digest;
  int32_t count;
};

// One file's distinct shingles of one length with their counts, and the
// number of its shingles.
struct FileShingles {
  std::vector<DistinctShingle> distinct;
  size_t count = 0;
};

// Hashes every shingle of `words` words of a text (or takes their
// identities), merging repeats through the calling thread's table.
FileShingles HashText(const TextWords& text, int words, Trainer::Identities identities) {
  FileShingles file;
  file.count = text.ShingleCount(words);
  if (file.count == 0) return file;
  thread_local DigestTable table;
  table.Reset(file.count);
  std::vector<DistinctShingle>& distinct = file.distinct;
  auto add = [&](const Digest& digest) {
    const uint32_t next = static_cast<uint32_t>(distinct.size());
    const uint32_t at =
        table.Enter(digest, next, [&](uint32_t p) -> const Digest& { return distinct[p].digest; });
    if (at == next)
      distinct.push_back(DistinctShingle{digest, 1});
    else
      distinct[at].count = SaturatingAdd(distinct[at].count, 1);
  };
  // Each digest is entered a few shingles late, so that its slot has loaded
  // while the next ones were taken.
  constexpr size_t kAhead = 8;
  if (identities != nullptr) {
    std::vector<Digest> records;
    identities(text, words, records);
    for (size_t k = 0; k < records.size(); ++k) {
      table.Prefetch(records[k]);
      if (k >= kAhead) add(records[k - kAhead]);
    }
    for (size_t k = records.size() > kAhead ? records.size() - kAhead : 0; k < records.size(); ++k)
      add(records[k]);
    return file;
  }
  const size_t step = static_cast<size_t>(text.shift());
  const size_t length = static_cast<size_t>(words);
  Digest pending[kAhead];
  Md5Each(
      file.count, [&](size_t k) { return text.Span(k * step, length); },
      [&](size_t k, const Digest& digest) {
        table.Prefetch(digest);
        if (k >= kAhead) add(pending[k % kAhead]);
        pending[k % kAhead] = digest;
      });
  for (size_t k = file.count > kAhead ? file.count - kAhead : 0; k < file.count; ++k)
    add(pending[k % kAhead]);
  return file;
}

}  // namespace

// The set of one shingle length: each file's distinct digests, bucketed by
// their leading byte in file order.
class ShingleAccumulator {
 public:
  ShingleAccumulator(int words, bool keep_counts) : words_(words), keep_counts_(keep_counts) {}

  int words() const { return words_; }
  void KeepFiles() { keep_files_ = true; }
  void KeepIds() { ids_only_ = true; }  // and no counts: they are not sorted along
  void KeepOnly(std::function<bool(const Digest&)> keep) { keep_ = std::move(keep); }
  void IdentifyWith(Trainer::Identities given) { identities_ = given; }
  Trainer::Identities identities() const { return identities_; }

  void Add(const FileShingles& file, uint32_t file_index) {
    total_ = SaturatingAdd(total_, file.count);
    for (const DistinctShingle& entry : file.distinct) {
      if (keep_ && !keep_(entry.digest)) continue;
      const unsigned char bucket = entry.digest.bytes[0];
      if (ids_only_) {
        ids_[bucket].push_back(DigestHalf(entry.digest.bytes));
      } else {
        digests_[bucket].push_back(entry.digest);
        if (keep_counts_) counts_[bucket].push_back(entry.count);
      }
      if (keep_files_) files_[bucket].push_back(file_index);
    }
  }

  // Reserves the set's room for its records without touching it: its pages
  // are taken only as the sorted buckets are appended, each released at
  // once, so the records are held about once, not twice.
  void Reserve(FlatSet& set) {
    set.total = total_;
    size_t records = 0;
    for (size_t b = 0; b < kBuckets; ++b) records += digests_[b].size() + ids_[b].size();
    if (ids_only_) {
      set.ids.reserve(records);
    } else {
      set.digests.reserve(records);
      if (keep_counts_) set.counts.reserve(records);
    }
    if (keep_files_) set.files.reserve(records);
    total_ = 0;
  }

  // Sorts bucket b where it stands. Buckets may be sorted on several threads
  // at once.
  void SortBucket(size_t b) {
    if (ids_only_) {
      SortIds(b);
      return;
    }
    int32_t* counts = keep_counts_ ? counts_[b].data() : nullptr;
    uint32_t* files = keep_files_ ? files_[b].data() : nullptr;
    SortByDigestInto(digests_[b].data(), counts, files, digests_[b].size(), digests_[b].data(),
                     counts, files);
  }

  // Appends sorted bucket b to the set and releases it; the leading byte
  // already orders the buckets.
  void AppendBucket(size_t b, FlatSet& set) {
    const size_t n = digests_[b].size() + ids_[b].size();
    set.digests.insert(set.digests.end(), digests_[b].data(),
                       digests_[b].data() + digests_[b].size());
    set.ids.insert(set.ids.end(), ids_[b].data(), ids_[b].data() + ids_[b].size());
    set.counts.insert(set.counts.end(), counts_[b].data(), counts_[b].data() + counts_[b].size());
    if (keep_files_) set.files.insert(set.files.end(), files_[b].data(), files_[b].data() + n);
    digests_[b].Release();
    ids_[b].Release();
    counts_[b].Release();
    files_[b].Release();
  }

 private:
  // Sorts bucket b of identities; records of one identity stay in file
  // order, as a stable sort of digests keeps them. The identities are
  // uniform, so one counting pass on the bits below the bucket's byte
  // leaves runs of a record or two, each then put in order by insertion;
  // both steps are stable.
  void SortIds(size_t b) {
    uint64_t* ids = ids_[b].data();
    uint32_t* files = keep_files_ ? files_[b].data() : nullptr;
    const size_t n = ids_[b].size();
    if (n < 2) return;
    int bits = 1;
    while (bits < 16 && (size_t{1} << bits) < n) ++bits;
    const int shift = 56 - bits;
    const uint64_t mask = (uint64_t{1} << bits) - 1;
    thread_local std::vector<uint32_t> starts;
    thread_local std::vector<uint64_t> sorted_ids;
    thread_local std::vector<uint32_t> sorted_files;
    starts.assign((size_t{1} << bits) + 1, 0);
    for (size_t k = 0; k < n; ++k) ++starts[(ids[k] >> shift & mask) + 1];
    for (size_t run = 1; run < starts.size(); ++run) starts[run] += starts[run - 1];
    sorted_ids.resize(n);
    if (files != nullptr) sorted_files.resize(n);
    for (size_t k = 0; k < n; ++k) {
      const uint32_t to = starts[ids[k] >> shift & mask]++;
      sorted_ids[to] = ids[k];
      if (files != nullptr) sorted_files[to] = files[k];
    }
    // starts[r] is now where run r ends; records move only past greater
    // identities, so equal ones keep their order.
    size_t begin = 0;
    for (size_t run = 0; run + 1 < starts.size(); ++run) {
      const size_t end = starts[run];
      for (size_t k = begin + 1; k < end; ++k) {
        const uint64_t id = sorted_ids[k];
        const uint32_t file = files != nullptr ? sorted_files[k] : 0;
        size_t at = k;
        for (; at > begin && sorted_ids[at - 1] > id; --at) {
          sorted_ids[at] = sorted_ids[at - 1];
          if (files != nullptr) sorted_files[at] = sorted_files[at - 1];
        }
        sorted_ids[at] = id;
        if (files != nullptr) sorted_files[at] = file;
      }
      begin = end;
    }
    std::copy(sorted_ids.begin(), sorted_ids.end(), ids);
    if (files != nullptr) std::copy(sorted_files.begin(), sorted_files.end(), files);
  }

  const int words_;
  const bool keep_counts_;
  bool keep_files_ = false;
  bool ids_only_ = false;
  std::function<bool(const Digest&)> keep_;
  Trainer::Identities identities_ = nullptr;
  int32_t total_ = 0;
  std::array<MappedArray<Digest>, kBuckets> digests_;
  std::array<MappedArray<uint64_t>, kBuckets> ids_;
  std::array<MappedArray<int32_t>, kBuckets> counts_;
  std::array<MappedArray<uint32_t>, kBuckets> files_;
};

// One learning file as the sets take it: its shingles of every length, and
// the messages its reading wrote.
struct Trainer::HashedFile {
  std::vector<FileShingles> sets;
  std::ostringstream messages;
  bool read = false;
};

Trainer::Trainer(const std::vector<int>& lengths, bool keep_counts, const TextOptions& text,
                 std::ostream& messages, size_t threads)
    : text_(text), messages_(&messages), threads_(std::max<size_t>(threads, 1)) {
  for (int words : lengths)
    sets_.push_back(std::make_unique<ShingleAccumulator>(words, keep_counts));
}

Trainer::~Trainer() = default;

void Trainer::HashFile(const std::string& name, HashedFile& file) const {
  const int builds = static_cast<int>(sets_.size());
  if (!ShiftUsableFor(builds, text_.shingle_shift, file.messages)) return;
  TextWords words(text_);
  // Each length's build would have read the file and reported a failure.
  file.read = words.ReadFile(name, builds, file.messages) == 0;
  for (const auto& set : sets_)
    file.sets.push_back(HashText(words, set->words(), set->identities()));
}

bool Trainer::Take(HashedFile& file) {
  const std::string messages = file.messages.str();
  if (!messages.empty()) *messages_ << messages;
  for (size_t s = 0; s < file.sets.size(); ++s) sets_[s]->Add(file.sets[s], files_added_);
  ++files_added_;
  return file.read;
}

void Trainer::KeepFiles(int words) {
  for (auto& set : sets_)
    if (set->words() == words) set->KeepFiles();
}

void Trainer::KeepIds(int words) {
  for (auto& set : sets_)
    if (set->words() == words) set->KeepIds();
}

void Trainer::IdentifyWith(int words, Identities identities) {
  for (auto& set : sets_)
    if (set->words() == words) set->IdentifyWith(identities);
}

void Trainer::KeepOnly(int words, std::function<bool(const Digest&)> keep) {
  for (auto& set : sets_)
    if (set->words() == words) set->KeepOnly(keep);
}

bool Trainer::AddFile(const std::string& name) {
  return NamingOutOfMemory(name, [&] {
    HashedFile file;
    HashFile(name, file);
    return Take(file);
  });
}

size_t Trainer::AddFiles(const std::vector<std::string>& names,
                         const std::function<void(const std::string&)>& done) {
  size_t read = 0;
  RunOrdered<HashedFile>(
      names.size(), threads_, 2 * threads_,
      [&](size_t i, HashedFile& file) {
        NamingOutOfMemory(names[i], [&] { HashFile(names[i], file); });
      },
      [&](size_t i, HashedFile& file) {
        read += NamingOutOfMemory(names[i], [&] { return Take(file); });
        done(names[i]);
      });
  return read;
}

std::vector<FlatSet> Trainer::Finish() {
  std::vector<FlatSet> sets(sets_.size());
  // Every bucket of every set is sorted where it stands, one piece of work
  // each, so that all threads sort until the last bucket; then each set
  // takes its sorted buckets in order, releasing each as it goes.
  RunAll(sets_.size() * kBuckets, threads_,
         [&](size_t i) { sets_[i / kBuckets]->SortBucket(i % kBuckets); });
  for (size_t s = 0; s < sets_.size(); ++s) {
    sets_[s]->Reserve(sets[s]);
    for (size_t b = 0; b < kBuckets; ++b) sets_[s]->AppendBucket(b, sets[s]);
  }
  return sets;
}
