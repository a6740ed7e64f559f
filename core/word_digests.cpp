#define OPENSSL_SUPPRESS_DEPRECATED
#include "core/word_digests.h"

#include <openssl/md5.h>

#include <cstdint>
#include <cstring>

#include "core/md5_lanes.h"
#include "core/text_words.h"

namespace {

// A quick, non-cryptographic hash of a word's bytes for the table of words
// already digested.
uint64_t QuickHash(std::string_view word) {
  uint64_t hash = 0x9E3779B97F4A7C15u ^ word.size();
  size_t at = 0;
  for (; at + 8 <= word.size(); at += 8) {
    uint64_t chunk;
    std::memcpy(&chunk, word.data() + at, 8);
    hash = (hash ^ chunk) * 0xFF51AFD7ED558CCDu;
    hash ^= hash >> 32;
  }
  uint64_t tail = 0;
  for (; at < word.size(); ++at) tail = tail << 8 | static_cast<unsigned char>(word[at]);
  hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53u;
  return hash ^ (hash >> 29);
}

// Which of every step-th word of a text is the first of its text: a text
// repeats its common words many times, and a word's digest is the same
// wherever it occurs, so each distinct word is hashed once. A word is looked
// for in a table of the words already seen (a tag of its quick hash beside
// its position); the search gives up after a few probes and the word is then
// simply hashed again, so that no text, however its words collide, makes it
// slow.
class FirstOccurrences {
 public:
  FirstOccurrences(const TextWords& text, size_t first, size_t count, size_t step)
      : text_(text), first_(first), step_(step) {
    size_t slots = 16;
    while (slots < 2 * count) slots <<= 1;
    slots_.assign(slots, 0);
  }

  uint64_t HashOf(size_t k) const { return QuickHash(WordAt(k)); }
  // Fetches the slot where the search for a word's hash begins.
  void Prefetch(uint64_t hash) const { __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]); }

  // The position of the first word equal to word k (k itself when it is
  // new, or when the search gives up), given word k's quick hash.
  size_t FirstOf(size_t k, uint64_t hash) {
    const std::string_view word = WordAt(k);
    const uint64_t tag = hash & ~uint64_t{0xFFFFFFFF};
    const size_t mask = slots_.size() - 1;
    size_t slot = static_cast<size_t>(hash) & mask;
    for (int probe = 0; probe < kMaxProbes; ++probe, slot = (slot + 1) & mask) {
      const uint64_t entry = slots_[slot];
      if (entry == 0) {
        slots_[slot] = tag | (k + 1);
        return k;
      }
      const size_t seen = (entry & 0xFFFFFFFF) - 1;
      if ((entry & ~uint64_t{0xFFFFFFFF}) == tag && WordAt(seen) == word) return seen;
    }
    return k;
  }

 private:
  std::string_view WordAt(size_t k) const { return text_.Word(first_ + k * step_); }

  static constexpr int kMaxProbes = 8;
  const TextWords& text_;
  const size_t first_;
  const size_t step_;
  std::vector<uint64_t> slots_;  // tag | 1 + the word's position; 0 = free
};

// Appends the digests of words first, first + step, ... (count of them): first
// each word's first occurrence is found (each word's slot fetched a few words
// before it is searched), then the first occurrences are hashed in batches
// and the repeats copied.
void HashWords(const TextWords& text, size_t first_word, size_t count, size_t step,
               std::vector<Digest>& out) {
  const size_t base = out.size();
  out.resize(base + count);
  auto word = [&](size_t k) { return text.Word(first_word + k * step); };
  if (count >= UINT32_MAX) {  // beyond the table's positions
    Md5Each(count, word, [&](size_t k, const Digest& digest) { out[base + k] = digest; });
    return;
  }
  FirstOccurrences occurrences(text, first_word, count, step);
  std::vector<uint32_t> first(count);
  std::vector<uint32_t> fresh;
  constexpr size_t kAhead = 8;
  uint64_t hashes[kAhead];
  for (size_t k = 0; k < count + kAhead; ++k) {
    if (k >= kAhead) {
      const size_t at = k - kAhead;
      first[at] = static_cast<uint32_t>(occurrences.FirstOf(at, hashes[at % kAhead]));
      if (first[at] == at) fresh.push_back(static_cast<uint32_t>(at));
    }
    if (k < count) {
      hashes[k % kAhead] = occurrences.HashOf(k);
      occurrences.Prefetch(hashes[k % kAhead]);
    }
  }
  Md5Each(
      fresh.size(), [&](size_t j) { return word(fresh[j]); },
      [&](size_t j, const Digest& digest) { out[base + fresh[j]] = digest; });
  for (size_t k = 0; k < count; ++k)
    if (first[k] != k) out[base + k] = out[base + first[k]];
}

}  // namespace

void TextWords::HashShingles(int n, std::vector<Digest>& out) const {
  HashShingles(n, 0, ShingleCount(n), out);
}

void TextWords::HashShingles(int n, size_t first, size_t count, std::vector<Digest>& out) const {
  const size_t step = static_cast<size_t>(shift_);
  if (n == 1) return HashWords(*this, first * step, count, step, out);
  const size_t base = out.size();
  out.resize(base + count);
  Md5Each(
      count, [&](size_t k) { return Span((first + k) * step, static_cast<size_t>(n)); },
      [&](size_t k, const Digest& digest) { out[base + k] = digest; });
}

void TextWords::HashNeighbours(std::vector<Digest>& words, std::vector<Digest>& pairs) const {
  const size_t n = size();
  HashWords(*this, 0, n, 1, words);
  if (n < 2) return;
  const size_t base = pairs.size();
  pairs.resize(base + n - 1);
  Md5Each(
      n - 1, [&](size_t k) { return Span(k, 2); },
      [&](size_t k, const Digest& digest) { pairs[base + k] = digest; });
}

// The same digest as the one-shot MD5(), which also wipes its context
// afterwards: a cost per shingle that guards nothing secret here.
Digest Md5Of(std::string_view text) {
  Digest digest;
  MD5_CTX context;
  MD5_Init(&context);
  MD5_Update(&context, text.data(), text.size());
  MD5_Final(digest.bytes, &context);
  return digest;
}
