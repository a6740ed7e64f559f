#include "core/digest_index.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <utility>

#include "core/file_io.h"
#include "core/huge_pages.h"
#include "core/messages.h"
#include "core/ordered_run.h"
#include "core/records_checksum.h"

namespace {

// About four digests per bucket: a look-up reads one directory entry and then
// one or two cache lines of neighbouring digests.
constexpr size_t kDigestsPerBucket = 4;
constexpr int kMaxDirectoryBits = 32;
// A file being copied over while it is read is read again this often.
constexpr int kReadAttempts = 3;
// Below the most one read() call returns.
constexpr size_t kLargestRead = size_t{1} << 30;

int DirectoryBits(size_t digests) {
  int bits = 1;
  while (bits < kMaxDirectoryBits && (size_t{1} << (bits + 1)) * kDigestsPerBucket <= digests)
    ++bits;
  return bits;
}

bool IsAscending(const Digest* digests, size_t size) {
  for (size_t i = 1; i < size; ++i)
    if (DigestLess(digests[i].bytes, digests[i - 1].bytes)) return false;
  return true;
}

// The first record of each digest of an ascending sequence, with its count.
template <typename CountAt>
void KeepFirstOfEach(const Digest* digests, size_t size, CountAt count_at,
                     std::vector<Digest>& unique, std::vector<int32_t>& counts) {
  unique.reserve(size);
  counts.reserve(size);
  for (size_t i = 0; i < size; ++i) {
    if (i > 0 && digests[i] == digests[i - 1]) continue;
    unique.push_back(digests[i]);
    counts.push_back(count_at(i));
  }
}

bool AllOnes(const std::vector<int32_t>& counts) {
  return std::all_of(counts.begin(), counts.end(), [](int32_t count) { return count == 1; });
}

// Whether nobody, not even its owner, can write, truncate, rename or remove
// the file until the mark is taken off again.
bool IsImmutable(int fd) {
  int flags = 0;
  return ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL) != 0;
}

// The same size and the same modification and status change times: nothing
// was written to the file in between.
bool Unchanged(const struct stat& before, const struct stat& after) {
  return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec &&
         before.st_mtim.tv_nsec == after.st_mtim.tv_nsec &&
         before.st_ctim.tv_sec == after.st_ctim.tv_sec &&
         before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

// Reads exactly size bytes from the start of the file; false on an error or
// when the file ends before.
bool ReadAt(int fd, void* data, size_t size, off_t offset) {
  char* bytes = static_cast<char*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, bytes + done, std::min(size - done, kLargestRead),
                              offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

// The checksum of records in the order they come and whether they ascend,
// taken as they arrive.
class RecordsScan {
 public:
  explicit RecordsScan(size_t count) : checksum_(count) {}
  void Add(const Digest* records, size_t size) {
    checksum_.Add(records, size);
    if (size == 0) return;
    ascending_ = ascending_ && (!seen_ || !DigestLess(records[0].bytes, last_.bytes)) &&
                 IsAscending(records, size);
    last_ = records[size - 1];
    seen_ = true;
  }
  uint64_t checksum() const { return checksum_.value(); }
  bool ascending() const { return ascending_; }

 private:
  RecordsChecksum checksum_;
  bool ascending_ = true;
  bool seen_ = false;
  Digest last_{};
};

// Reads whole records in pieces small enough to stay cached while the scan
// takes them, so that it costs no second trip to memory.
bool ReadRecords(int fd, Digest* records, size_t count, RecordsScan& scan) {
  constexpr size_t kPiece = size_t{1} << 16;  // records: 1 MB
  for (size_t at = 0; at < count; at += kPiece) {
    const size_t size = std::min(kPiece, count - at);
    if (!ReadAt(fd, records + at, size * kDigestSize, static_cast<off_t>(at * kDigestSize)))
      return false;
    scan.Add(records + at, size);
  }
  return true;
}


}  // namespace

CountIndex::CountIndex(CountIndex&& other) noexcept { *this = std::move(other); }

CountIndex& CountIndex::operator=(CountIndex&& other) noexcept {
  if (this == &other) return *this;
  Unmap();
  owned_ = std::move(other.owned_);
  mapping_ = std::exchange(other.mapping_, nullptr);
  mapping_bytes_ = std::exchange(other.mapping_bytes_, 0);
  shared_ = std::exchange(other.shared_, false);
  digests_ = std::exchange(other.digests_, nullptr);
  size_ = std::exchange(other.size_, 0);
  counts_ = std::move(other.counts_);
  directory_ = std::move(other.directory_);
  shift_ = std::exchange(other.shift_, 63);
  filter_ = std::exchange(other.filter_, DigestFilter());
  records_ = std::exchange(other.records_, 0);
  checksum_ = std::exchange(other.checksum_, 0);
  ascending_ = std::exchange(other.ascending_, true);
  total_ = std::exchange(other.total_, 0);
  // A moved vector keeps its buffer, so digests_ still points into owned_.
  return *this;
}

CountIndex::~CountIndex() { Unmap(); }

void CountIndex::Unmap() {
  if (mapping_ != nullptr) munmap(mapping_, mapping_bytes_);
  mapping_ = nullptr;
  mapping_bytes_ = 0;
  shared_ = false;
}

void CountIndex::Adopt(std::vector<Digest>&& digests) {
  owned_ = std::move(digests);
  digests_ = owned_.data();
  size_ = owned_.size();
}

void CountIndex::BuildDirectory(size_t threads, size_t filter_digests) {
  directory_.clear();
  // An empty index gets its filter all the same, so that a filter sized for
  // both sides of a shared index has the same size on each.
  filter_.Reset(std::max(size_, filter_digests));
  if (size_ == 0) return;
  const int bits = DirectoryBits(size_);
  shift_ = 64 - bits;
  const size_t buckets = size_t{1} << bits;
  ReserveLarge(directory_, buckets + 1);
  directory_.resize(buckets + 1);
  // Each part is a range of buckets: its directory entries, and the filter
  // bits of its digests (set atomically, as two parts may share a word).
  const size_t parts = std::max<size_t>(threads, 1);
  RunAll(parts, threads, [&](size_t part) {
    size_t from, to;
    FillDirectory(buckets * part / parts, buckets * (part + 1) / parts, from, to);
    filter_.AddAll(digests_ + from, digests_ + to, parts > 1);
  });
  directory_[buckets] = size_;
}

// Fills the entries of buckets [first_bucket, end_bucket); [from, to) are
// the positions of their digests.
void CountIndex::FillDirectory(size_t first_bucket, size_t end_bucket, size_t& from,
                               size_t& to) {
  auto bucket_of = [this](const Digest& digest) { return DigestHalf(digest.bytes) >> shift_; };
  auto before = [&](const Digest& digest, size_t bucket) { return bucket_of(digest) < bucket; };
  size_t at = static_cast<size_t>(
      std::lower_bound(digests_, digests_ + size_, first_bucket, before) - digests_);
  from = at;
  for (size_t bucket = first_bucket; bucket < end_bucket; ++bucket) {
    while (at < size_ && bucket_of(digests_[at]) < bucket) ++at;
    directory_[bucket] = at;
  }
  while (at < size_ && bucket_of(digests_[at]) < end_bucket) ++at;
  to = at;
}

CountIndex CountIndex::FromFlat(const FlatSet& shingles) {
  CountIndex index;
  std::vector<Digest> unique;
  const bool counted = !shingles.counts.empty();
  KeepFirstOfEach(
      shingles.digests.data(), shingles.digests.size(),
      [&](size_t i) { return counted ? shingles.counts[i] : 1; }, unique, index.counts_);
  if (AllOnes(index.counts_)) index.counts_.clear();
  index.Adopt(std::move(unique));
  index.BuildDirectory();
  index.records_ = shingles.digests.size();
  index.total_ = shingles.total;
  return index;
}

CountIndex CountIndex::FromFlat(FlatSet&& shingles) {
  const std::vector<Digest>& digests = shingles.digests;
  if (std::adjacent_find(digests.begin(), digests.end()) != digests.end())
    return FromFlat(static_cast<const FlatSet&>(shingles));
  CountIndex index;
  index.records_ = digests.size();
  index.total_ = shingles.total;
  if (!AllOnes(shingles.counts)) index.counts_ = std::move(shingles.counts);
  index.Adopt(std::move(shingles.digests));
  index.BuildDirectory();
  return index;
}

CountIndex CountIndex::FromDistinct(std::vector<Digest>&& digests) {
  CountIndex index;
  index.records_ = digests.size();
  index.Adopt(std::move(digests));
  index.BuildDirectory();
  return index;
}

CountIndex CountIndex::ToFill(size_t capacity) {
  CountIndex index;
  if (capacity == 0) return index;
  const size_t bytes = capacity * kDigestSize;
  void* room = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (room == MAP_FAILED) throw std::bad_alloc();
  index.Keep(room, capacity);
  return index;
}

void CountIndex::Filled(size_t size) {
  size_ = std::min(size, size_);
  records_ = size_;
}

Status CountIndex::Load(const std::string& file_name, CountIndex& out, Pages pages) {
  out = CountIndex();
  int fd;
  struct stat info;
  switch (OpenRegularFile(file_name, O_RDONLY, fd, info)) {
    case FileCheck::kUnopened:
    case FileCheck::kUnexamined:
      return Status::FromErrno(errno, messages::kCannotLoadModelFile + file_name);
    case FileCheck::kNotRegular:
      return Status(StatusCode::kDamaged, messages::kCannotLoadModelFile + file_name);
    case FileCheck::kRegular: break;
  }
  bool loaded = false;
  try {
    loaded = out.MapImmutable(fd, info) || out.ReadCopy(fd, info, pages == Pages::kHuge);
  } catch (...) {
    close(fd);
    throw;
  }
  close(fd);
  if (!loaded)
    return Status(StatusCode::kIoError, messages::kModelFile + file_name + messages::kNotReadWhole);
  out.records_ = out.size_;
  if (!out.ascending_) {
    // Reading does not depend on the order of records: a mapped file is
    // sorted in a private copy, a copy where it is.
    if (out.shared_) {
      std::vector<Digest> sorted(out.digests_, out.digests_ + out.size_);
      std::sort(sorted.begin(), sorted.end());
      out.Unmap();
      out.Adopt(std::move(sorted));
    } else {
      Digest* copy = static_cast<Digest*>(out.mapping_);
      std::sort(copy, copy + out.size_);
    }
  }
  return Status();
}

// A file nobody can change stays where it is, in the page cache shared by
// every process that judges with it. The mark is looked at again once the
// file is mapped: it might have been taken off (and the file changed) in
// between, which also changes the file's status time.
bool CountIndex::MapImmutable(int fd, const struct stat& before) {
  const size_t records = static_cast<size_t>(before.st_size) / kDigestSize;
  if (records == 0 || !IsImmutable(fd)) return false;
  void* mapping = mmap(nullptr, records * kDigestSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (mapping == MAP_FAILED) return false;
  struct stat after;
  if (!IsImmutable(fd) || fstat(fd, &after) != 0 || !Unchanged(before, after)) {
    munmap(mapping, records * kDigestSize);
    return false;
  }
  RecordsScan scan(records);
  scan.Add(static_cast<const Digest*>(mapping), records);
  checksum_ = scan.checksum();
  ascending_ = scan.ascending();
  shared_ = true;
  Keep(mapping, records);
  return true;
}

// Reads the complete records into anonymous memory (on huge pages when asked
// and the system allows it). A file written while it is read (copied over in
// place) could give a mix of old and new records: the read is repeated until
// the file's size and times stay the same across it.
bool CountIndex::ReadCopy(int fd, struct stat& before, bool huge_pages) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    const size_t records = static_cast<size_t>(before.st_size) / kDigestSize;
    if (records == 0) {
      checksum_ = ChecksumOfRecords(nullptr, 0);
      return true;
    }
    const size_t bytes = records * kDigestSize;
    // Small pages are faulted in by one call rather than one fault each.
    const int populate = huge_pages ? 0 : MAP_POPULATE;
    void* copy =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | populate, -1, 0);
    if (copy == MAP_FAILED) throw std::bad_alloc();
    if (huge_pages) AdviseHugePages(copy, bytes);
    RecordsScan scan(records);
    const bool whole = ReadRecords(fd, static_cast<Digest*>(copy), records, scan);
    struct stat after;
    if (fstat(fd, &after) != 0) {
      munmap(copy, bytes);
      return false;
    }
    if (whole && Unchanged(before, after)) {
      Keep(copy, records);
      checksum_ = scan.checksum();
      ascending_ = scan.ascending();
      return true;
    }
    munmap(copy, bytes);
    before = after;
  }
  return false;
}

void CountIndex::Keep(void* mapping, size_t records) {
  mapping_ = mapping;
  mapping_bytes_ = records * kDigestSize;
  digests_ = static_cast<const Digest*>(mapping);
  size_ = records;
}

void CountIndex::CountMany(const Digest* digests, size_t size, int32_t* counts) const {
  LookUpMany(digests, size,
             [&](size_t key, size_t at) { counts[key] = at == kAbsent ? 0 : CountAt(at); });
}

void CountIndex::FindMany(const Digest* digests, size_t size, size_t* positions) const {
  LookUpMany(digests, size, [&](size_t key, size_t at) { positions[key] = at; });
}

// Calls found(key, position) for every key in order, kAbsent for a key the
// index lacks.
template <typename Found>
void CountIndex::LookUpMany(const Digest* digests, size_t size, Found found) const {
  if (directory_.empty()) {
    for (size_t key = 0; key < size; ++key) found(key, kAbsent);
    return;
  }
  // A look-up may miss the cache three times: in the filter, in the
  // directory and in the digests it points to. Each key's look-up runs in
  // steps a fixed distance apart (fetch its filter word; test it and fetch
  // its directory entries; fetch its digests; search them), so that every
  // fetch overlaps the work on other keys. Most absent keys stop at the
  // filter.
  constexpr size_t kAhead = 16, kRing = 64, kFiltered = SIZE_MAX;
  static_assert(kRing >= 3 * kAhead + 1 && (kRing & (kRing - 1)) == 0);
  size_t buckets[kRing];
  for (size_t i = 0; i < size + 3 * kAhead; ++i) {
    if (i < size) __builtin_prefetch(filter_.WordOf(digests[i].bytes));
    if (i >= kAhead && i - kAhead < size) {
      const unsigned char* key = digests[i - kAhead].bytes;
      size_t& bucket = buckets[(i - kAhead) % kRing];
      bucket = MayHold(key) ? Bucket(key) : kFiltered;
      if (bucket != kFiltered) __builtin_prefetch(&directory_[bucket]);
    }
    if (i >= 2 * kAhead && i - 2 * kAhead < size) {
      const size_t bucket = buckets[(i - 2 * kAhead) % kRing];
      if (bucket != kFiltered) {
        const size_t first = directory_[bucket], last = directory_[bucket + 1];
        __builtin_prefetch(digests_ + first);
        __builtin_prefetch(digests_ + last - (last > first));
      }
    }
    if (i >= 3 * kAhead) {
      const size_t key = i - 3 * kAhead, bucket = buckets[key % kRing];
      found(key, bucket == kFiltered
                     ? kAbsent
                     : FindIn(digests[key].bytes, directory_[bucket], directory_[bucket + 1]));
    }
  }
}
