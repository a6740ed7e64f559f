#include "core/document.h"

#include <algorithm>
#include <cstdint>

#include "core/digest_table.h"
#include "core/shingle_shift.h"

bool ReadDocument(const std::string& name, int builds, TextWords& words, std::ostream& messages) {
  if (!ShiftUsableFor(builds, words.shift(), messages)) return false;
  // Each build would have read the file and reported a failure itself.
  words.ReadFile(name, builds, messages);
  return true;
}

bool ReadDocument(const char* text, size_t size, int builds, TextWords& words,
                  std::ostream& messages) {
  if (!ShiftUsableFor(builds, words.shift(), messages)) return false;
  words.Feed(text, size);
  words.Finish();
  return true;
}

std::vector<Digest> DistinctShingles(const TextWords& words, int n) {
  std::vector<Digest> digests;
  words.HashShingles(n, digests);
  // The distinct digests are gathered in front of the array as they come.
  DigestTable table;
  table.Reset(digests.size());
  uint32_t kept = 0;
  for (size_t i = 0; i < digests.size(); ++i) {
    if (table.Enter(digests[i], kept, [&](uint32_t p) -> const Digest& { return digests[p]; }) == kept)
      digests[kept++] = digests[i];
  }
  digests.resize(kept);
  return digests;
}

size_t ShingleStream::Take(const TextWords& text) {
  const size_t count = text.ShingleCount(n_);
  const size_t step = static_cast<size_t>(text.shift());
  if (count > next_) {
    batch_.clear();
    text.HashShingles(n_, next_, count - next_, batch_);
    // Sized for the batch at once, at most half full after it: growing as
    // digests come would rebuild the table many times over, and a fuller
    // table makes every search of a new digest probe longer.
    Reserve(size_ + batch_.size());
    // A large table misses the cache on nearly every search: each slot is
    // fetched a few digests before its search.
    for (size_t i = 0; i < batch_.size(); ++i) {
      if (i + kAhead < batch_.size()) __builtin_prefetch(&table_[SlotOf(batch_[i + kAhead])]);
      Add(batch_[i]);
    }
    next_ = count;
  }
  return std::min(next_ * step, text.size());
}

// Open addressing on digest bits, at most three quarters full. A slot costs
// 4 bytes and holds a tag beside the position, so a probe seldom reads a
// digest that is not the one searched for.
size_t ShingleStream::SlotOf(const Digest& digest) const {
  return DigestHalf(digest.bytes + 8) & (table_.size() - 1);
}

uint32_t ShingleStream::TagOf(const Digest& digest) const {
  if (position_bits_ >= 32) return 0;
  return static_cast<uint32_t>(DigestHalf(digest.bytes) >> (32 + position_bits_)) << position_bits_;
}

void ShingleStream::Add(const Digest& digest) {
  const size_t mask = table_.size() - 1;
  const uint32_t tag = TagOf(digest);
  const uint32_t positions = position_bits_ >= 32 ? UINT32_MAX : (uint32_t{1} << position_bits_) - 1;
  size_t slot = SlotOf(digest);
  for (; table_[slot] != 0; slot = (slot + 1) & mask) {
    const uint32_t entry = table_[slot];
    if ((entry & ~positions) == tag && At((entry & positions) - 1) == digest) return;
  }
  if (size_ % kBlock == 0) blocks_.emplace_back().reserve(kBlock);
  blocks_.back().push_back(digest);
  table_[slot] = tag | static_cast<uint32_t>(++size_);
  if (4 * size_ > 3 * table_.size()) Grow();
}

void ShingleStream::Grow() { Rehash(table_.size() * 2, position_bits_ + 1); }

void ShingleStream::Reserve(size_t digests) {
  size_t slots = table_.size();
  uint32_t bits = position_bits_;
  for (; 2 * digests > slots; slots *= 2) ++bits;
  if (slots != table_.size()) Rehash(slots, bits);
}

void ShingleStream::Rehash(size_t slots, uint32_t position_bits) {
  std::vector<uint32_t>(slots, 0).swap(table_);
  position_bits_ = position_bits;
  const size_t mask = table_.size() - 1;
  for (size_t i = 0; i < size_; ++i) {
    if (i + kAhead < size_) __builtin_prefetch(&table_[SlotOf(At(i + kAhead))]);
    size_t slot = SlotOf(At(i));
    while (table_[slot] != 0) slot = (slot + 1) & mask;
    table_[slot] = TagOf(At(i)) | static_cast<uint32_t>(i + 1);
  }
}
