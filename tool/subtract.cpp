#include "tool/subtract.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <vector>

#include "core/set_file.h"
#include "core/shingle.h"

namespace {

constexpr size_t kOutputRecord = kDigestSize + 1;
constexpr size_t kOutputBlock = kOutputRecord * 8192;
// How far the cursor may walk forward before a full look-up is cheaper.
constexpr int kMaxCursorSteps = 16;

void ReadSubtrahend(std::istream& in, std::set<CShingle>& subtrahend) {
  DigestReader reader(in);
  CShingle record;
  // Saved set files are in digest order, so the end is usually the right hint.
  while (const unsigned char* digest = reader.Next()) {
    std::memcpy(record.hash, digest, kDigestSize);
    subtrahend.insert(subtrahend.end(), record);
  }
}

// Finds a digest in the set. Successive look-ups of an ascending first file
// advance a cursor a few steps instead of descending the tree each time, which
// keeps the walk in cache; any other order falls back to the tree search.
class Finder {
 public:
  explicit Finder(const std::set<CShingle>& set) : set_(set), cursor_(set.begin()) {}

  bool Contains(const CShingle& key) {
    if (has_previous_ && !(key < previous_)) {
      int steps = 0;
      while (cursor_ != set_.end() && *cursor_ < key && steps < kMaxCursorSteps) {
        ++cursor_;
        ++steps;
      }
      if (cursor_ != set_.end() && *cursor_ < key) cursor_ = set_.lower_bound(key);
    } else {
      cursor_ = set_.lower_bound(key);
    }
    std::memcpy(previous_.hash, key.hash, kDigestSize);
    has_previous_ = true;
    return cursor_ != set_.end() && !(key < *cursor_);
  }

 private:
  const std::set<CShingle>& set_;
  std::set<CShingle>::const_iterator cursor_;
  CShingle previous_;
  bool has_previous_ = false;
};

// A directory opens like a file but reads as empty, which would make an empty
// subtrahend out of a mistyped path; it counts as a file that cannot be opened.
bool IsDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

void ShingleSubtract(std::string first_file, std::string second_file) {
  std::ifstream first(first_file, std::ios::binary);
  std::ifstream second(second_file, std::ios::binary);
  if (!first.is_open() || !second.is_open() || IsDirectory(first_file) ||
      IsDirectory(second_file)) {
    std::cerr << "Error opening file(s)\n";
    return;
  }

  std::set<CShingle> subtrahend;
  ReadSubtrahend(second, subtrahend);

  Finder finder(subtrahend);
  DigestReader reader(first);
  CShingle record;
  std::vector<char> block;
  block.reserve(kOutputBlock);
  while (const unsigned char* digest = reader.Next()) {
    std::memcpy(record.hash, digest, kDigestSize);
    if (finder.Contains(record)) continue;
    block.insert(block.end(), digest, digest + kDigestSize);
    block.push_back('\n');
    if (block.size() >= kOutputBlock) {
      std::cout.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  std::cout.write(block.data(), static_cast<std::streamsize>(block.size()));
  std::cout.flush();
}
