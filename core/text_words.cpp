#define OPENSSL_SUPPRESS_DEPRECATED
#include "core/text_words.h"

#include <openssl/md5.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "core/charset.h"
#include "core/file_io.h"
#include "core/md5_lanes.h"
#include "core/messages.h"

namespace {

constexpr size_t kReadChunk = 1 << 16;

// For each byte: 0 when it separates words, otherwise the upper-cased letter
// (ASCII letters too when ascii_upper is set).
std::array<unsigned char, 256> MakeLetterTable(bool ascii_upper) {
  std::array<unsigned char, 256> table{};
  for (int code = 0; code < 256; ++code) {
    if (!isalpha_cp1251(code)) continue;
    const int upper = code < 0x80 && ascii_upper ? 'A' + (code | 0x20) - 'a' : toupper_cp1251(code);
    table[code] = static_cast<unsigned char>(upper);
  }
  return table;
}

const std::array<unsigned char, 256> kLetters = MakeLetterTable(false);
const std::array<unsigned char, 256> kUpperLetters = MakeLetterTable(true);

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr size_t kByteOrderMarkSize = sizeof kByteOrderMark - 1;

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

TextWords::TextWords(const TextOptions& options)
    : shift_(options.shingle_shift),
      stop_words_(options.stop_words),
      letters_(options.upper_case ? kUpperLetters.data() : kLetters.data()),
      reading_(options.encoding == TextEncoding::kAuto   ? Reading::kUndecided
               : options.encoding == TextEncoding::kUtf8 ? Reading::kUtf8
                                                         : Reading::kSingleByte) {}

void TextWords::Feed(const char* data, size_t size) {
  if (fed_ < kBinaryHead && std::memchr(data, 0, std::min(size, kBinaryHead - fed_)) != nullptr)
    binary_ = true;
  switch (reading_) {
    case Reading::kSingleByte: FeedSingleBytes(data, size, fed_); break;
    case Reading::kUtf8: FeedUtf8(data, size, fed_); break;
    case Reading::kUndecided: FeedUndecided(data, size); break;
  }
  fed_ += size;
}

void TextWords::FeedSingleBytes(const char* data, size_t size, size_t source_offset) {
  // The table in a local: stores into the word buffer could otherwise alias
  // the member and force a reload per byte.
  const unsigned char* const letters = letters_;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char letter = letters[static_cast<unsigned char>(data[i])];
    if (letter != 0) {
      if (!in_word_) StartWord(source_offset + i);
      joined_.push_back(static_cast<char>(letter));
    } else if (in_word_) {
      EndWord(source_offset + i);
    }
  }
}

void TextWords::FeedUtf8(const char* data, size_t size, size_t source_offset) {
  for (size_t i = 0; i < size; ++i) TakeUtf8(static_cast<unsigned char>(data[i]), source_offset + i);
}

void TextWords::TakeUtf8(unsigned char byte, size_t source_offset) {
  if (byte < 0x80 && !decoder_.mid_sequence()) return Take(byte, source_offset);
  const bool starts = !decoder_.mid_sequence();
  switch (decoder_.Push(byte)) {
    case Utf8Decoder::kPending:
      if (starts) character_start_ = source_offset;
      break;
    case Utf8Decoder::kCharacter: Take(Cp1251Of(decoder_.code_point()), character_start_); break;
    case Utf8Decoder::kInvalid: Take(0, source_offset); break;
    case Utf8Decoder::kBroken:  // the bytes so far separate; this one starts afresh
      Take(0, character_start_);
      TakeUtf8(byte, source_offset);
      break;
  }
}

// ASCII is fed at once; from the first other byte on, the bytes wait until
// they prove not to be UTF-8 (then the text is Windows-1251) or the text ends
// (UTF-8, since it holds a multi-byte character). A Windows-1251 text gives
// itself away within a few letters.
void TextWords::FeedUndecided(const char* data, size_t size) {
  size_t i = 0;
  if (pending_.empty()) {
    while (i < size && static_cast<unsigned char>(data[i]) < 0x80) ++i;
    FeedSingleBytes(data, i, fed_);
    if (i == size) return;
    pending_start_ = fed_ + i;
  }
  for (; i < size; ++i) {
    pending_.push_back(data[i]);
    const Utf8Decoder::Step step = decoder_.Push(static_cast<unsigned char>(data[i]));
    if (step == Utf8Decoder::kInvalid || step == Utf8Decoder::kBroken) {
      Decide(Reading::kSingleByte);
      FeedSingleBytes(data + i + 1, size - i - 1, fed_ + i + 1);
      return;
    }
    if (pending_start_ == 0 && pending_.size() == kByteOrderMarkSize && pending_ == kByteOrderMark) {
      Decide(Reading::kUtf8);
      FeedUtf8(data + i + 1, size - i - 1, fed_ + i + 1);
      return;
    }
  }
}

void TextWords::Decide(Reading reading) {
  reading_ = reading;
  // The words so far were ASCII, one byte per letter.
  if (reading == Reading::kUtf8)
    for (size_t k = source_ends_.size(); k < starts_.size(); ++k)
      source_ends_.push_back(source_starts_[k] + Word(base_ + k).size());
  decoder_ = Utf8Decoder();
  std::string pending;
  pending.swap(pending_);
  if (reading == Reading::kUtf8)
    FeedUtf8(pending.data(), pending.size(), pending_start_);
  else
    FeedSingleBytes(pending.data(), pending.size(), pending_start_);
}

void TextWords::Finish() {
  if (reading_ == Reading::kUndecided && !pending_.empty())
    Decide(decoder_.mid_sequence() ? Reading::kSingleByte : Reading::kUtf8);
  if (reading_ == Reading::kUtf8 && decoder_.mid_sequence()) {
    decoder_ = Utf8Decoder();
    Take(0, character_start_);  // a sequence cut off at the end separates too
  }
  if (in_word_) DropCurrentWord();
  GiveToSink(true);
}

std::string TextWords::DisplayText(std::string_view normalised) const {
  if (!read_as_utf8()) return std::string(normalised);
  return Cp1251ToUtf8(normalised);
}

int TextWords::ReadFile(const std::string& name, int reports, std::ostream& messages) {
  // A directory passes here so that its read fails with the system's own
  // "Is a directory"; a device gives "Operation not supported".
  int error = 0;
  const int fd = OpenInputFile(name, true);
  if (fd < 0) {
    error = errno;
  } else {
    std::vector<char> chunk(kReadChunk);
    for (;;) {
      const ssize_t got = read(fd, chunk.data(), chunk.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) error = errno;  // e.g. a directory: what was read so far counts
      if (got <= 0) break;
      Feed(chunk.data(), static_cast<size_t>(got));
      if (binary_ && stop_if_binary_) break;
    }
    close(fd);
    Finish();
  }
  char buffer[256];
  for (int i = 0; i < reports && error != 0; ++i)
    messages << strerror_r(error, buffer, sizeof buffer) << '\n';
  return error;
}

size_t TextWords::ShingleCount(int n) const {
  const size_t words = size();
  if (n < 1 || words < static_cast<size_t>(n)) return 0;
  const size_t step = static_cast<size_t>(shift_);
  return (words - static_cast<size_t>(n)) / step + 1;
}

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

void TextWords::StartWord(size_t source_offset) {
  if (!starts_.empty()) joined_.push_back(' ');
  word_begin_ = joined_.size();
  source_begin_ = source_offset;
  in_word_ = true;
}

void TextWords::EndWord(size_t source_offset) {
  in_word_ = false;
  if (stop_words_ != nullptr && !stop_words_->empty()) {
    scratch_.assign(joined_, word_begin_, joined_.size() - word_begin_);
    if (stop_words_->count(scratch_) != 0) {
      DropCurrentWord();
      return;
    }
  }
  starts_.push_back(word_begin_);
  ends_.push_back(joined_.size());
  source_starts_.push_back(source_begin_);
  if (reading_ == Reading::kUtf8) source_ends_.push_back(source_offset);
  if (sink_ && starts_.size() >= given_ + kStreamWords) GiveToSink(false);
}

void TextWords::GiveToSink(bool ended) {
  if (!sink_ || (binary_ && stop_if_binary_)) return;
  DropWordsBefore(sink_(*this, ended));
  given_ = starts_.size();
}

// Called between words: the buffer then ends with the last word held.
void TextWords::DropWordsBefore(size_t first) {
  const size_t count = std::min(first, size()) - std::min(first, base_);
  if (count == 0) return;
  const size_t cut = count < starts_.size() ? starts_[count] : joined_.size();
  joined_.erase(0, cut);
  auto drop = [&](std::vector<size_t>& offsets, size_t shift) {
    offsets.erase(offsets.begin(), offsets.begin() + std::min(count, offsets.size()));
    for (size_t& offset : offsets) offset -= shift;
  };
  drop(starts_, cut);
  drop(ends_, cut);
  drop(source_starts_, 0);
  drop(source_ends_, 0);
  base_ += count;
}

void TextWords::DropCurrentWord() {
  in_word_ = false;
  joined_.resize(starts_.empty() ? 0 : word_begin_ - 1);
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

bool ShiftIsUsable(int32_t shift, std::ostream& messages) {
  if (shift >= 1) return true;
  messages << messages::kUnusableShift << shift << messages::kUnusableShiftEnd;
  return false;
}

bool ShiftUsableFor(int builds, int32_t shift, std::ostream& messages) {
  bool usable = true;
  for (int i = 0; i < builds; ++i) usable = ShiftIsUsable(shift, messages);
  return usable;
}
