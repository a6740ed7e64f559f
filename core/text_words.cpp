#define OPENSSL_SUPPRESS_DEPRECATED
#include "core/text_words.h"

#include <openssl/md5.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <iostream>

#include "core/builder.h"
#include "core/charset.h"
#include "core/file_io.h"
#include "core/shingle.h"

namespace {

constexpr size_t kReadChunk = 1 << 16;

// For each byte: 0 when it separates words, otherwise the upper-cased letter.
std::array<unsigned char, 256> MakeLetterTable() {
  std::array<unsigned char, 256> table{};
  for (int code = 0; code < 256; ++code)
    table[code] = isalpha_cp1251(code) ? static_cast<unsigned char>(toupper_cp1251(code)) : 0;
  return table;
}

const std::array<unsigned char, 256> kLetters = MakeLetterTable();

}  // namespace

void TextWords::Feed(const char* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    unsigned char letter = kLetters[static_cast<unsigned char>(data[i])];
    if (letter != 0) {
      if (!in_word_) StartWord(fed_ + i);
      joined_.push_back(static_cast<char>(letter));
    } else if (in_word_) {
      EndWord();
    }
  }
  fed_ += size;
}

void TextWords::Finish() {
  if (in_word_) DropCurrentWord();
}

int TextWords::ReadFile(const std::string& name, int reports) {
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
    }
    close(fd);
    Finish();
  }
  for (int i = 0; i < reports && error != 0; ++i) {
    errno = error;
    std::perror("");
  }
  return error;
}

size_t TextWords::ShingleCount(int n) const {
  const size_t words = size();
  if (n < 1 || words < static_cast<size_t>(n)) return 0;
  const size_t step = static_cast<size_t>(CShingle::shingle_shift);
  return (words - static_cast<size_t>(n)) / step + 1;
}

void TextWords::HashShingles(int n, std::vector<Digest>& out) const {
  const size_t count = ShingleCount(n);
  const size_t step = static_cast<size_t>(CShingle::shingle_shift);
  out.reserve(out.size() + count);
  for (size_t i = 0, k = 0; k < count; i += step, ++k)
    out.push_back(Md5Of(Span(i, static_cast<size_t>(n))));
}

void TextWords::HashNeighbours(std::vector<Digest>& words, std::vector<Digest>& pairs) const {
  const size_t n = size();
  words.reserve(words.size() + n);
  for (size_t k = 0; k < n; ++k) words.push_back(Md5Of(Word(k)));
  if (n < 2) return;
  pairs.reserve(pairs.size() + n - 1);
  for (size_t k = 0; k + 1 < n; ++k) pairs.push_back(Md5Of(Span(k, 2)));
}

void TextWords::StartWord(size_t source_offset) {
  if (!starts_.empty()) joined_.push_back(' ');
  word_begin_ = joined_.size();
  source_begin_ = source_offset;
  in_word_ = true;
}

void TextWords::EndWord() {
  in_word_ = false;
  if (!Stopwords.empty()) {
    scratch_.assign(joined_, word_begin_, joined_.size() - word_begin_);
    if (Stopwords.count(scratch_) != 0) {
      DropCurrentWord();
      return;
    }
  }
  starts_.push_back(word_begin_);
  ends_.push_back(joined_.size());
  source_starts_.push_back(source_begin_);
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

bool ShiftIsUsable() {
  if (CShingle::shingle_shift >= 1) return true;
  std::cerr << "Error: shingle shift must be at least 1, not " << CShingle::shingle_shift
            << "; no shingles built\n";
  return false;
}

bool ShiftUsableFor(int builds) {
  bool usable = true;
  for (int i = 0; i < builds; ++i) usable = ShiftIsUsable();
  return usable;
}
