#include "core/provenance.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/file_io.h"
#include "core/little_endian.h"
#include "core/model_description.h"
#include "core/model_files.h"

namespace {

// Header fields, at these byte offsets, little-endian.
constexpr size_t kVersionAt = 8, kSlotAt = 12, kRecordsAt = 16, kChecksumAt = 24,
                 kPathCountAt = 32, kWidthAt = 36, kPathTableAt = 40;

uint32_t IndexWidth(size_t paths) { return paths <= 0x100 ? 1 : paths <= 0x10000 ? 2 : 4; }

// The path table: offsets[i] is where path i starts in the text after the
// table; one more offset ends the last path.
bool ParsePaths(std::string_view bytes, size_t table, uint32_t count, SourcesFile& out,
                std::string& error) {
  const size_t offsets = (static_cast<size_t>(count) + 1) * 8;
  if (table > bytes.size() || bytes.size() - table < offsets) {
    error = "the path table is cut short";
    return false;
  }
  const auto* at = reinterpret_cast<const unsigned char*>(bytes.data()) + table;
  const size_t text = table + offsets, text_bytes = bytes.size() - text;
  uint64_t start = GetLittle(at, 8);
  if (start != 0) {
    error = "the path table does not start at 0";
    return false;
  }
  out.paths.reserve(count);
  for (uint32_t i = 1; i <= count; ++i) {
    const uint64_t end = GetLittle(at + 8 * i, 8);
    if (end < start || end > text_bytes) {
      error = "a path lies outside the file";
      return false;
    }
    out.paths.emplace_back(bytes.substr(text + start, end - start));
    start = end;
  }
  return true;
}

}  // namespace

uint32_t SourcesFile::FileOf(size_t k) const {
  return static_cast<uint32_t>(GetLittle(indexes + k * width, width));
}

std::string FormatSources(int slot, const Digest* records, size_t count, const uint32_t* files,
                          const std::vector<std::string>& paths) {
  const uint32_t width = IndexWidth(paths.size());
  const size_t table = kSourcesHeaderBytes + Padded(count * width);
  size_t text_bytes = 0;
  for (const std::string& path : paths) text_bytes += path.size();
  std::string out(Padded(table + (paths.size() + 1) * 8 + text_bytes), '\0');
  std::memcpy(&out[0], kSourcesMagic, sizeof kSourcesMagic);
  PutLittle(out, kVersionAt, kSourcesVersion, 4);
  PutLittle(out, kSlotAt, static_cast<uint32_t>(slot), 4);
  PutLittle(out, kRecordsAt, count, 8);
  PutLittle(out, kChecksumAt, ChecksumOfRecords(records, count), 8);
  PutLittle(out, kPathCountAt, paths.size(), 4);
  PutLittle(out, kWidthAt, width, 4);
  PutLittle(out, kPathTableAt, table, 8);
  for (size_t k = 0; k < count; ++k) PutLittle(out, kSourcesHeaderBytes + k * width, files[k], width);
  size_t text = table + (paths.size() + 1) * 8, offset = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    out.replace(text + offset, paths[i].size(), paths[i]);
    offset += paths[i].size();
    PutLittle(out, table + 8 * (i + 1), offset, 8);
  }
  return out;
}

namespace {

bool ParseSourcesInto(std::string_view bytes, SourcesFile& out, std::string& error) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  if (bytes.size() < kSourcesHeaderBytes || std::memcmp(data, kSourcesMagic, 8) != 0) {
    error = "not a sources file";
    return false;
  }
  if (GetLittle(data + kVersionAt, 4) != kSourcesVersion) {
    error = "a sources file of another version";
    return false;
  }
  SourcesFile file;
  const uint64_t slot = GetLittle(data + kSlotAt, 4);
  file.records = GetLittle(data + kRecordsAt, 8);
  file.set_checksum = GetLittle(data + kChecksumAt, 8);
  file.width = static_cast<uint32_t>(GetLittle(data + kWidthAt, 4));
  const uint64_t count = GetLittle(data + kPathCountAt, 4);
  const uint64_t table = GetLittle(data + kPathTableAt, 8);
  if ((slot != kProtectedWords && slot != kProtectedPairs) ||
      (file.width != 1 && file.width != 2 && file.width != 4)) {
    error = "a damaged sources header";
    return false;
  }
  file.slot = static_cast<int>(slot);
  // Checked by division, so that no record count can overflow the product.
  const size_t room = bytes.size() - kSourcesHeaderBytes;
  if (file.records > room / file.width || table != kSourcesHeaderBytes + Padded(file.records * file.width)) {
    error = "the file indexes are cut short";
    return false;
  }
  file.indexes = data + kSourcesHeaderBytes;
  if (!ParsePaths(bytes, table, static_cast<uint32_t>(count), file, error)) return false;
  out = std::move(file);
  return true;
}

}  // namespace

Status ParseSources(std::string_view bytes, SourcesFile& out) {
  std::string reason;
  if (!ParseSourcesInto(bytes, out, reason)) return Status(StatusCode::kDamaged, reason);
  return Status();
}

Status ReadSourcesFile(const std::string& path, std::string& bytes) {
  const int fd = OpenInputFile(path, false);
  if (fd < 0) return Status::FromErrno(errno, std::strerror(errno));
  bytes.clear();
  char buffer[1 << 16];
  for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(fd);
      return Status::FromErrno(error, std::strerror(error));
    }
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return Status();
}

SourceFinder::SourceFinder(std::vector<Digest> records, std::vector<uint32_t> files,
                           std::vector<std::string> paths)
    : records_(std::move(records)), files_(std::move(files)), paths_(std::move(paths)) {
  BuildDirectory();
}

SourceFinder::SourceFinder(const Digest* records, const SourcesFile& file)
    : records_(records, records + file.records), paths_(file.paths) {
  files_.resize(file.records);
  for (size_t k = 0; k < file.records; ++k) files_[k] = file.FileOf(k);
  BuildDirectory();
}

void SourceFinder::BuildDirectory() {
  directory_.assign(size_t{1} << 16 | 1, 0);
  for (const Digest& record : records_)
    ++directory_[(size_t{record.bytes[0]} << 8 | record.bytes[1]) + 1];
  for (size_t bucket = 1; bucket < directory_.size(); ++bucket)
    directory_[bucket] += directory_[bucket - 1];
  size_t words = 1;  // of 64 bits: 16 bits a record, up to 1 MiB
  while (words < records_.size() / 4 && words < (size_t{1} << 17)) words *= 2;
  filter_.assign(words, 0);
  for (const Digest& record : records_) filter_[FilterWord(record)] |= FilterBits(record);
}

void SourceFinder::HoldersMany(const Digest* digests, size_t count, Holders* out,
                               bool filtered) const {
  std::fill(out, out + count, Holders{});
  if (records_.empty()) return;
  // Three passes, each fetching kAhead look-ups ahead: the filter, which
  // answers most; the directory, which narrows the search to the records of
  // the digest's leading 16 bits, a few for any model; those records.
  constexpr size_t kAhead = 32;
  std::vector<size_t> maybe;
  maybe.reserve(count);
  for (size_t k = 0; k < count; ++k) {
    if (!filtered) {
      maybe.push_back(k);
      continue;
    }
    if (k + kAhead < count) FetchFilter(digests[k + kAhead]);
    if (MayHold(digests[k])) maybe.push_back(k);
  }
  for (size_t m = 0; m < maybe.size(); ++m) {
    if (m + kAhead < maybe.size()) __builtin_prefetch(&directory_[BucketOf(digests[maybe[m + kAhead]])]);
    const size_t bucket = BucketOf(digests[maybe[m]]);
    out[maybe[m]] = Holders{directory_[bucket], directory_[bucket + 1]};
  }
  for (size_t m = 0; m < maybe.size(); ++m) {
    if (m + kAhead < maybe.size()) {
      // A bucket's few records may cross a cache line: the search reads both.
      const Holders& ahead = out[maybe[m + kAhead]];
      if (ahead.first < ahead.last) {
        __builtin_prefetch(&records_[ahead.first]);
        __builtin_prefetch(&records_[ahead.last - 1]);
      }
    }
    Holders& held = out[maybe[m]];
    // Equal records are few (one a file holding the digest): they are
    // walked, not searched for a second time.
    const Digest& digest = digests[maybe[m]];
    const auto end = records_.begin() + static_cast<ptrdiff_t>(held.last);
    auto first = std::lower_bound(records_.begin() + static_cast<ptrdiff_t>(held.first), end, digest);
    auto last = first;
    while (last != end && *last == digest) ++last;
    held = Holders{static_cast<size_t>(first - records_.begin()),
                   static_cast<size_t>(last - records_.begin())};
    if (held.first < held.last) __builtin_prefetch(&files_[held.first]);  // read next by the caller
  }
}

std::vector<uint64_t> SourceFinder::FilesHolding(std::vector<Digest> digests) const {
  std::sort(digests.begin(), digests.end());
  digests.erase(std::unique(digests.begin(), digests.end()), digests.end());
  std::vector<uint64_t> held;  // file << 32 | k
  for (size_t k = 0; k < digests.size(); ++k) {
    const auto range = std::equal_range(records_.begin(), records_.end(), digests[k]);
    for (auto at = range.first; at != range.second; ++at) {
      const uint32_t file = files_[static_cast<size_t>(at - records_.begin())];
      if (file < paths_.size()) held.push_back(uint64_t{file} << 32 | k);
    }
  }
  // A merged model may list a file twice for one digest.
  std::sort(held.begin(), held.end());
  held.erase(std::unique(held.begin(), held.end()), held.end());
  return held;
}

namespace {

// (file, how many) for each file in held, which is sorted by file.
std::vector<std::pair<uint32_t, int64_t>> CountByFile(const std::vector<uint64_t>& held) {
  std::vector<std::pair<uint32_t, int64_t>> counts;
  for (uint64_t entry : held) {
    const uint32_t file = static_cast<uint32_t>(entry >> 32);
    if (counts.empty() || counts.back().first != file) counts.push_back({file, 0});
    ++counts.back().second;
  }
  return counts;
}

}  // namespace

std::vector<Source> SourceFinder::Find(const std::vector<Digest>& digests,
                                       const std::vector<Digest>& phrase, size_t most) const {
  const auto shared = CountByFile(FilesHolding(digests));
  const auto in_phrase = CountByFile(FilesHolding(phrase));
  std::vector<Source> found;
  for (const auto& [file, count] : shared) found.push_back({paths_[file], count, 0});
  // Phrase digests are normally the document's too, so their files are
  // already listed; a file found only in the phrase is listed as well.
  for (const auto& [file, count] : in_phrase) {
    auto at = std::lower_bound(shared.begin(), shared.end(), std::make_pair(file, int64_t{0}));
    if (at != shared.end() && at->first == file)
      found[static_cast<size_t>(at - shared.begin())].phrase = count;
    else
      found.push_back({paths_[file], 0, count});
  }
  std::sort(found.begin(), found.end(), [](const Source& a, const Source& b) {
    return a.shared != b.shared ? a.shared > b.shared : a.path < b.path;
  });
  if (found.size() > most) found.resize(most);
  return found;
}
