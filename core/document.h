// A document as judging reads it: its normalised words, from which the
// digests of its shingles are taken straight from the word buffer, without a
// text string per shingle. The reading fails as the builds it replaces
// would; the caller reports it as they did (once for each word count).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/digest.h"
#include "core/digest_table.h"
#include "core/status.h"
#include "core/text_words.h"

// Reads a data file into words as the file form of _BuildShingles would.
// Not ok when the shift is unusable (an invalid argument: nothing is read
// and shingles must not be built) or when opening or reading the file failed
// (the system's kind, its message the system's reason: what was read before
// counts, and the document is judged).
Status ReadDocument(const std::string& name, TextWords& words);
// The same for a caller's buffer of `size` bytes, as the stream form reads
// it: only the shift can be refused.
Status ReadDocument(const char* text, size_t size, TextWords& words);

// The digests of the shingles of n words, each once, in the order in which
// they first occur.
std::vector<Digest> DistinctShingles(const TextWords& words, int n);

// The same gathered while the text is read (a sink of TextWords::StreamTo):
// only the distinct digests are kept, and the words a shingle still needs.
class ShingleStream {
 public:
  explicit ShingleStream(int n) : n_(n) {}
  // Starts a new text with shingles of n words, as a new object would,
  // keeping the room of its first blocks and table (up to
  // TextWords::kKeptBytes each) for it.
  void Restart(int n);
  // Hashes the shingles whose words have all been read; the first word the
  // next one needs.
  size_t Take(const TextWords& text);
  size_t size() const { return size_; }
  // Calls visit(digests, count) for the distinct digests, block by block.
  template <typename Visit>
  void ForEachBlock(Visit visit) const {
    for (size_t at = 0; at < size_; at += kBlock)
      visit(blocks_[at / kBlock].data(), std::min(kBlock, size_ - at));
  }

 private:
  // Blocks of digests, so that growing never copies them nor holds them twice.
  static constexpr size_t kBlock = size_t{1} << 16;
  static constexpr size_t kAhead = 8;  // digests between a slot's fetch and its search
  const Digest& At(size_t i) const { return blocks_[i / kBlock][i % kBlock]; }
  void Add(const Digest& digest);

  int n_;
  size_t next_ = 0;  // the next shingle to hash
  size_t size_ = 0;
  std::vector<std::vector<Digest>> blocks_;
  DigestTable table_;
  std::vector<Digest> batch_;
};