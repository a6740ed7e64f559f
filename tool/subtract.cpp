#include "tool/subtract.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <set>
#include <vector>

#include "core/file_io.h"
#include "core/messages.h"
#include "core/set_file.h"
#include "core/shingle.h"

namespace {

using DigestBytes = std::array<unsigned char, kDigestSize>;

// Records of the first file looked up together: large enough that, sorted,
// consecutive look-ups land near each other in the subtrahend.
constexpr size_t kLookupBlock = 1 << 20;
// How far the cursor may walk forward before a full look-up is cheaper.
constexpr int kMaxCursorSteps = 16;

bool Less(const unsigned char* a, const unsigned char* b) { return DigestLess(a, b); }
bool DigestArrayLess(const DigestBytes& a, const DigestBytes& b) { return Less(a.data(), b.data()); }

// The records are put into digest order before they are inserted, so every
// insertion goes to the end of the tree and the nodes are allocated in key
// order (set files saved by the tool are in that order already).
void ReadSubtrahend(std::istream& in, std::set<CShingle>& subtrahend) {
  std::vector<DigestBytes> digests;
  DigestReader reader(in);
  while (const unsigned char* digest = reader.Next()) {
    digests.emplace_back();
    std::memcpy(digests.back().data(), digest, kDigestSize);
  }
  if (!std::is_sorted(digests.begin(), digests.end(), DigestArrayLess))
    std::sort(digests.begin(), digests.end(), DigestArrayLess);
  CShingle record;
  for (const DigestBytes& digest : digests) {
    std::memcpy(record.hash, digest.data(), kDigestSize);
    subtrahend.insert(subtrahend.end(), record);
  }
}

// Finds digests in the set. Ascending look-ups advance a cursor a few steps
// instead of descending the tree each time; any other order falls back to
// the tree search.
class Finder {
 public:
  explicit Finder(const std::set<CShingle>& set) : set_(set), cursor_(set.begin()) {}

  bool Contains(const unsigned char* digest) {
    std::memcpy(key_.hash, digest, kDigestSize);
    if (has_previous_ && !Less(key_.hash, previous_.hash)) {
      int steps = 0;
      while (cursor_ != set_.end() && Less(cursor_->hash, key_.hash) && steps < kMaxCursorSteps) {
        ++cursor_;
        ++steps;
      }
      if (cursor_ != set_.end() && Less(cursor_->hash, key_.hash)) cursor_ = set_.lower_bound(key_);
    } else {
      cursor_ = set_.lower_bound(key_);
    }
    std::memcpy(previous_.hash, digest, kDigestSize);
    has_previous_ = true;
    return cursor_ != set_.end() && !Less(key_.hash, cursor_->hash);
  }

 private:
  const std::set<CShingle>& set_;
  std::set<CShingle>::const_iterator cursor_;
  CShingle key_;
  CShingle previous_;
  bool has_previous_ = false;
};

// Streams the first file in blocks: each block is looked up in digest order
// and written in file order.
class Subtraction {
 public:
  explicit Subtraction(const std::set<CShingle>& subtrahend) : finder_(subtrahend) {
    block_.reserve(kLookupBlock);
    out_.reserve(kLookupBlock / 16 * (kDigestSize + 1));
  }

  void Run(std::istream& first) {
    DigestReader reader(first);
    while (const unsigned char* digest = reader.Next()) {
      block_.emplace_back();
      std::memcpy(block_.back().data(), digest, kDigestSize);
      if (block_.size() == kLookupBlock) Flush();
    }
    Flush();
    std::cout.flush();
  }

 private:
  void Flush() {
    const size_t n = block_.size();
    keep_.assign(n, 1);
    order_.resize(n);
    for (size_t i = 0; i < n; ++i) order_[i] = static_cast<uint32_t>(i);
    auto by_digest = [this](uint32_t a, uint32_t b) { return DigestArrayLess(block_[a], block_[b]); };
    if (!std::is_sorted(order_.begin(), order_.end(), by_digest))
      std::stable_sort(order_.begin(), order_.end(), by_digest);
    for (uint32_t i : order_) keep_[i] = !finder_.Contains(block_[i].data());
    for (size_t i = 0; i < n; ++i) {
      if (!keep_[i]) continue;
      out_.insert(out_.end(), block_[i].begin(), block_[i].end());
      out_.push_back('\n');
      if (out_.size() >= out_.capacity() - (kDigestSize + 1)) WriteOut();
    }
    WriteOut();
    block_.clear();
  }

  void WriteOut() {
    std::cout.write(out_.data(), static_cast<std::streamsize>(out_.size()));
    out_.clear();
  }

  Finder finder_;
  std::vector<DigestBytes> block_;
  std::vector<uint32_t> order_;
  std::vector<char> keep_;
  std::vector<char> out_;
};

}  // namespace

void ShingleSubtract(std::string first_file, std::string second_file) {
  // Opened like every input: a directory or a device is refused (a directory
  // would read as an empty subtrahend), and a FIFO never blocks the open.
  const int first_fd = OpenInputFile(first_file, false);
  const int second_fd = OpenInputFile(second_file, false);
  if (first_fd < 0 || second_fd < 0) {
    if (first_fd >= 0) close(first_fd);
    if (second_fd >= 0) close(second_fd);
    std::cerr << messages::kErrorOpeningFiles;
    return;
  }
  DescriptorInput first_input(first_fd), second_input(second_fd);
  std::istream first(&first_input), second(&second_input);
  std::set<CShingle> subtrahend;
  ReadSubtrahend(second, subtrahend);
  Subtraction(subtrahend).Run(first);
}
