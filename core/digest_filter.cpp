#include "core/digest_filter.h"

#include <stdexcept>

#include "core/huge_pages.h"

namespace {

// Eight filter bits per record, two of them set per digest: a few per cent
// of absent digests pass.
constexpr size_t kRecordsPerFilterWord = 8;
// The word is chosen by at most this many leading bits of the low half.
constexpr int kMaxFilterBits = 32;

}  // namespace

void DigestFilter::AddAll(const Digest* first, const Digest* last, bool shared) {
  constexpr ptrdiff_t kAhead = 16;
  for (const Digest* digest = first; digest != last; ++digest) {
    if (last - digest > kAhead) __builtin_prefetch(WordOf(digest[kAhead].bytes), 1);
    uint64_t& word = words_[Word(digest->bytes)];
    if (shared)
      __atomic_fetch_or(&word, Bits(digest->bytes), __ATOMIC_RELAXED);
    else
      word |= Bits(digest->bytes);
  }
}

DigestFilter DigestFilter::Union(const DigestFilter& a, const DigestFilter& b) {
  if (a.shift_ != b.shift_) throw std::logic_error("filters of different sizes");
  DigestFilter both;
  both.shift_ = a.shift_;
  both.words_.clear();
  ReserveLarge(both.words_, a.words_.size());
  for (size_t w = 0; w < a.words_.size(); ++w) both.words_.push_back(a.words_[w] | b.words_[w]);
  return both;
}

void DigestFilter::Reset(size_t digests) {
  int bits = 1;
  while (bits < kMaxFilterBits && (size_t{1} << bits) * kRecordsPerFilterWord < digests) ++bits;
  shift_ = 64 - bits;
  words_.clear();
  ReserveLarge(words_, size_t{1} << bits);
  words_.resize(size_t{1} << bits);
}
