#include "core/document.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/digest_table.h"
#include "core/shingle_shift.h"

Status ReadDocument(const std::string& name, TextWords& words) {
  if (Status usable = CheckShift(words.shift()); !usable.ok()) return usable;
  const int error = words.ReadFile(name);
  if (error == 0) return Status();
  char buffer[256];
  return Status::FromErrno(error, strerror_r(error, buffer, sizeof buffer));
}

Status ReadDocument(const char* text, size_t size, TextWords& words) {
  if (Status usable = CheckShift(words.shift()); !usable.ok()) return usable;
  words.Feed(text, size);
  words.Finish();
  return Status();
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
    // Room for the whole batch at once; a large table misses the cache on
    // nearly every search, so each slot is fetched a few digests ahead.
    const auto at = [this](uint32_t p) -> const Digest& { return At(p); };
    table_.Reserve(size_ + batch_.size(), static_cast<uint32_t>(size_), at);
    for (size_t i = 0; i < batch_.size(); ++i) {
      if (i + kAhead < batch_.size()) table_.Prefetch(batch_[i + kAhead]);
      Add(batch_[i]);
    }
    next_ = count;
  }
  return std::min(next_ * step, text.size());
}

void ShingleStream::Restart(int n) {
  ShingleStream fresh(n);
  blocks_.resize(std::min(blocks_.size(), TextWords::kKeptBytes / (kBlock * sizeof(Digest))));
  for (std::vector<Digest>& block : blocks_) block.clear();
  fresh.blocks_.swap(blocks_);
  table_.Empty(TextWords::kKeptBytes);
  fresh.table_ = std::move(table_);
  KeepRoom(batch_, fresh.batch_);
  *this = std::move(fresh);
}

void ShingleStream::Add(const Digest& digest) {
  const auto at = [this](uint32_t p) -> const Digest& { return At(p); };
  const uint32_t next = static_cast<uint32_t>(size_);
  if (table_.Enter(digest, next, at) != next) return;
  // A block kept from an earlier text is there already, empty.
  if (size_ / kBlock == blocks_.size()) blocks_.emplace_back().reserve(kBlock);
  blocks_[size_ / kBlock].push_back(digest);
  ++size_;
}
