// An immutable index of a trained set for judging: its digests in ascending
// order with the count a look-up returns, found through a directory on the
// leading digest bits instead of a tree of nodes. It is built from a trained
// FlatSet, or from a saved set file: a private copy of it, so
// that nothing done to the file later reaches an open model, or, where the
// file cannot change, a read-only mapping that every process judging with
// the model shares through the page cache.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/digest.h"
#include "core/digest_filter.h"
#include "core/flat_set.h"
#include "core/model_files.h"
#include "core/status.h"

class CountIndex {
 public:
  CountIndex() = default;
  CountIndex(CountIndex&& other) noexcept;
  CountIndex& operator=(CountIndex&& other) noexcept;
  CountIndex(const CountIndex&) = delete;
  CountIndex& operator=(const CountIndex&) = delete;
  ~CountIndex();

  // The counts ConvertToSet gives for a flat set: the first record of each
  // digest wins; N is the number of records, duplicates included, and T the
  // set's total.
  static CountIndex FromFlat(const FlatSet& shingles);
  // The same, taking over the set's arrays when each digest occurs once.
  static CountIndex FromFlat(FlatSet&& shingles);
  // Distinct digests in ascending order, each with count 1; N is their number.
  static CountIndex FromDistinct(std::vector<Digest>&& digests);
  // Room for up to `capacity` such digests, in memory of the index's own
  // that nothing clears or touches first: the caller writes them through
  // room() (threads in disjoint ranges), then calls Filled with their number
  // and BuildDirectory. The room is on ordinary pages: huge pages made no
  // look-up measurably faster, but a virtual machine that hands free memory
  // back to its host fills each fresh huge page slowly (a run of shingle
  // judging took 1.05-1.3x as long with them).
  static CountIndex ToFill(size_t capacity);
  // The room of an index from ToFill.
  Digest* room() { return mapping_ == nullptr ? nullptr : static_cast<Digest*>(mapping_); }
  void Filled(size_t size);
  // Reads a set file: every count is 1, N the number of complete records
  // and T 0, as a loaded and converted set has them. The records are copied
  // into memory of the index's own, since a file mapped as it is would crash
  // the process (SIGBUS) once truncated and mix old and new records once
  // rewritten in place; only a file marked immutable (chattr +i), which
  // nobody can write, truncate or replace, is mapped and shared instead. A
  // file that is not a readable regular file, or that keeps changing while
  // it is read, leaves out empty and returns why (not found, not a
  // directory, damaged for a file that is not a regular one, I/O); the
  // caller reports it. Look-ups need
  // BuildDirectory() first; a join into a SidesIndex reads only the digests
  // in order.
  //
  // The copy is on huge pages when asked. They are worth it only where most
  // digests of a document are found and looked up in place: a fresh huge
  // page is slow to fill (the kernel may compact memory for it, and a
  // virtual machine that hands free memory back to its host refills it), and
  // a look-up that stops at the filter never reads the copy.
  enum class Pages { kOrdinary, kHuge };
  static Status Load(const std::string& file_name, CountIndex& out, Pages pages = Pages::kHuge);
  // The pages for a model slot's file: huge for the pair files of a language
  // model, looked up in place for most pairs of a text; ordinary for words,
  // which are joined, and for shingles, most of which stop at the filter.
  static Pages PagesOfSlot(int slot) { return IsPairSlot(slot) ? Pages::kHuge : Pages::kOrdinary; }
  // For a loaded file, the checksum of its complete records in the file's
  // order (ChecksumOfRecords), taken as they were read.
  uint64_t checksum() const { return checksum_; }
  // Whether the digests are a mapping of the file, shared with other processes.
  bool shared() const { return shared_; }
  // Builds the directory and filter that look-ups read (the From... builders
  // build them themselves), on up to `threads` threads; the filter is sized
  // for `filter_digests` digests when that is more than the index holds.
  void BuildDirectory(size_t threads = 1, size_t filter_digests = 0);
  const DigestFilter& filter() const { return filter_; }

  // The count of the digest's record, 0 when there is none.
  int32_t Count(const unsigned char* digest) const {
    const size_t at = Find(digest);
    return at == kAbsent ? 0 : CountAt(at);
  }
  bool Contains(const unsigned char* digest) const { return Find(digest) != kAbsent; }
  // The counts of many digests: the memory reads of a batch are started
  // together instead of waiting for each look-up in turn.
  void CountMany(const Digest* digests, size_t size, int32_t* counts) const;
  // The same, giving the position of each digest's record in begin()..end(),
  // kAbsent when there is none.
  void FindMany(const Digest* digests, size_t size, size_t* positions) const;
  // The counts beside begin()..end(); null when every count is 1.
  const int32_t* counts() const { return counts_.empty() ? nullptr : counts_.data(); }
  // The count of the record at a position of begin()..end().
  int32_t CountAt(size_t at) const { return counts_.empty() ? 1 : counts_[at]; }
  static constexpr size_t kAbsent = SIZE_MAX;
  // The position of the digest's record, kAbsent when there is none.
  size_t Find(const unsigned char* digest) const {
    const size_t bucket = Bucket(digest);
    if (bucket >= directory_.size()) return kAbsent;  // empty index
    if (!MayHold(digest)) return kAbsent;
    return FindIn(digest, directory_[bucket], directory_[bucket + 1]);
  }

  uint64_t records() const { return records_; }
  int32_t total() const { return total_; }
  // The indexed digests in ascending order. A loaded file keeps its
  // duplicates; an index built from a set holds each digest once.
  const Digest* begin() const { return digests_; }
  const Digest* end() const { return digests_ + size_; }
  size_t size() const { return size_; }

 private:
  template <typename Found>
  void LookUpMany(const Digest* digests, size_t size, Found found) const;

  bool MayHold(const unsigned char* digest) const { return filter_.MayHold(digest); }
  size_t Bucket(const unsigned char* digest) const {
    return static_cast<size_t>(DigestHalf(digest) >> shift_);
  }
  size_t FindIn(const unsigned char* digest, size_t first, size_t last) const {
    const uint64_t high = DigestHalf(digest);
    for (size_t at = first; at < last; ++at) {
      const uint64_t entry = DigestHalf(digests_[at].bytes);
      if (entry < high) continue;
      if (entry > high) return kAbsent;
      const uint64_t low = DigestHalf(digest + 8), entry_low = DigestHalf(digests_[at].bytes + 8);
      if (entry_low == low) return at;
      if (entry_low > low) return kAbsent;
    }
    return kAbsent;
  }

  void Adopt(std::vector<Digest>&& digests);
  void FillDirectory(size_t first_bucket, size_t end_bucket, size_t& from, size_t& to);
  bool MapImmutable(int fd, const struct stat& before);
  bool ReadCopy(int fd, struct stat& before, bool huge_pages);
  void Keep(void* mapping, size_t records);
  void Unmap();

  std::vector<Digest> owned_;
  // A copy of a file in anonymous memory, or the mapping of an immutable
  // file (shared_).
  void* mapping_ = nullptr;
  size_t mapping_bytes_ = 0;
  bool shared_ = false;
  const Digest* digests_ = nullptr;
  size_t size_ = 0;
  std::vector<int32_t> counts_;  // parallel to the digests; empty when every count is 1
  // directory_[b] is the first digest whose leading bits are b or more; one
  // bucket more than there are bucket values closes the last range.
  std::vector<size_t> directory_;
  int shift_ = 63;
  DigestFilter filter_;
  uint64_t records_ = 0;
  int32_t total_ = 0;
  uint64_t checksum_ = 0;
  bool ascending_ = true;  // as read, before a file out of order is sorted
};
