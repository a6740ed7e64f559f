// Where the protected records of a model came from: for each record of the
// protected set that judging names sources from (p.bin in shingle mode,
// p.bin.2 for a language model), the protected learning file that held it.
// A saved set keeps one record per learning file that holds a digest, so
// one file index per record says everything. Saved as "tessel.sources"
// beside the set files; see docs/file-formats.md for the layout.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/digest.h"
#include "core/status.h"

inline constexpr char kSourcesFile[] = "tessel.sources";
inline constexpr char kSourcesMagic[8] = {'T', 'S', 'S', 'O', 'U', 'R', 'C', 'E'};
inline constexpr uint32_t kSourcesVersion = 1;
inline constexpr size_t kSourcesHeaderBytes = 48;

// A sources file's content, as read (nothing is copied but the paths).
struct SourcesFile {
  int slot = 0;              // the set file the records follow (kProtectedWords or kProtectedPairs)
  uint64_t records = 0;      // its number of records
  uint64_t set_checksum = 0; // and their checksum (ChecksumOfRecords)
  uint32_t width = 0;        // bytes per file index: 1, 2 or 4
  const unsigned char* indexes = nullptr;  // records * width bytes, little-endian
  std::vector<std::string> paths;

  // The file index of record k; paths.size() or more for a damaged index.
  uint32_t FileOf(size_t k) const;
};

// The file's bytes: the header, the file index of each record (files[k] for
// record k of the set file), the offsets of the paths and the paths, each
// part starting at a multiple of 16 bytes.
std::string FormatSources(int slot, const Digest* records, size_t count, const uint32_t* files,
                          const std::vector<std::string>& paths);
// Reads the bytes of a sources file; damaged, with the reason, for bytes
// that are not one (cut short, damaged, a later version). The result points
// into bytes.
Status ParseSources(std::string_view bytes, SourcesFile& out);
// Reads a whole file into bytes (a private copy: a file replaced or cut
// short while mapped could crash the process); the system's reason when it
// cannot, of the kind its error stands for (not found for a missing file).
Status ReadSourcesFile(const std::string& path, std::string& bytes);

// One protected learning file sharing records with a document.
struct Source {
  std::string path;
  int64_t shared = 0;  // distinct shingles (pairs) of the document
  int64_t phrase = 0;  // distinct pairs of the deciding window's phrase (language model)
};

// The protected records in digest order with the file each came from:
// enough to name the learning files that share digests with a document.
class SourceFinder {
 public:
  SourceFinder() = default;
  // records and files are parallel; equal digests may repeat (one record
  // per file that holds them).
  SourceFinder(std::vector<Digest> records, std::vector<uint32_t> files,
               std::vector<std::string> paths);
  // The same from a parsed sources file and the set file it follows.
  SourceFinder(const Digest* records, const SourcesFile& file);

  // Up to most files holding the most of the given digests (each counted
  // once per file however often it is given), the largest count first, ties
  // by path; phrase digests add to each file's phrase count.
  std::vector<Source> Find(const std::vector<Digest>& digests, const std::vector<Digest>& phrase,
                           size_t most) const;
  bool empty() const { return paths_.empty(); }
  size_t files() const { return paths_.size(); }
  const std::vector<std::string>& paths() const { return paths_; }
  const std::string& PathOf(uint32_t file) const { return paths_[file]; }
  // The records that hold each digest: records [first, last) for digests[k]
  // (first == last when none does), whose files FileOf gives. A document's
  // look-ups nearly all miss the cache, so the memory of those further on is
  // fetched while each is answered.
  struct Holders {
    size_t first = 0;
    size_t last = 0;
  };
  // Without `filtered` every digest is searched for: for digests nearly all
  // held, or already let through by MayHold, the filter's read is wasted.
  void HoldersMany(const Digest* digests, size_t count, Holders* out, bool filtered = true) const;
  // The file of record k; files() or more for a damaged index.
  uint32_t FileOf(size_t k) const { return files_[k]; }
  // False when the digest's two bits of the filter are not both set: most
  // digests a document looks up are not held, and the filter, of 16 bits a
  // record (at most 1 MiB), answers them from the cache.
  bool MayHold(const Digest& digest) const {
    if (filter_.empty()) return false;  // a finder of nothing
    const uint64_t bits = FilterBits(digest);
    return (filter_[FilterWord(digest)] & bits) == bits;
  }
  // Fetches the filter's word of a digest ahead of a MayHold.
  void FetchFilter(const Digest& digest) const {
    if (!filter_.empty()) __builtin_prefetch(&filter_[FilterWord(digest)]);
  }

 private:
  // Each (file, k) once for every digest k that the file holds.
  std::vector<uint64_t> FilesHolding(std::vector<Digest> digests) const;

  static size_t BucketOf(const Digest& digest) {
    return size_t{digest.bytes[0]} << 8 | digest.bytes[1];
  }
  // Where the records of each leading 16 bits start, and one more entry;
  // and the filter.
  void BuildDirectory();
  // A digest's word of the filter and its two bits there, from its second
  // half (the directory takes the first bytes): one word read a test.
  static uint64_t Tail(const Digest& digest) {
    uint64_t value;
    std::memcpy(&value, digest.bytes + 8, sizeof value);
    return value;
  }
  size_t FilterWord(const Digest& digest) const {
    return static_cast<size_t>(Tail(digest) & (filter_.size() - 1));
  }
  static uint64_t FilterBits(const Digest& digest) {
    const uint64_t tail = Tail(digest);
    return uint64_t{1} << (tail >> 52 & 63) | uint64_t{1} << (tail >> 58);
  }

  std::vector<Digest> records_;
  std::vector<uint32_t> files_;
  std::vector<size_t> directory_;
  std::vector<uint64_t> filter_;  // a power of two of words
  std::vector<std::string> paths_;
};
