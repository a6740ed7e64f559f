#define OPENSSL_SUPPRESS_DEPRECATED
#include "core/builder.h"

#include <fcntl.h>
#include <openssl/md5.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <vector>

#include "core/charset.h"
#include "core/messages.h"

std::set<std::string> Stopwords;

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

// Collects the accepted words of a text into one buffer, separated by single
// spaces, so that every shingle's text is a contiguous piece of it and can be
// hashed without joining words again.
class WordCollector {
 public:
  void Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      unsigned char letter = kLetters[static_cast<unsigned char>(data[i])];
      if (letter != 0) {
        if (!in_word_) StartWord();
        joined_.push_back(static_cast<char>(letter));
      } else if (in_word_) {
        EndWord();
      }
    }
  }

  // A word still open at the end of the input has no separator after it and
  // is dropped.
  void Finish() {
    if (in_word_) DropCurrentWord();
  }

  void AppendShingles(CShingleSet& target, int n) const {
    const size_t words = starts_.size();
    const size_t step = static_cast<size_t>(CShingle::shingle_shift);
    if (n < 1 || words < static_cast<size_t>(n)) return;
    const size_t width = static_cast<size_t>(n);
    for (size_t i = 0; i + width <= words; i += step) {
      const size_t begin = starts_[i];
      const size_t end = ends_[i + width - 1];
      CShingle& shingle = target.list.emplace_back();
      shingle.text.assign(joined_, begin, end - begin);
      MD5(reinterpret_cast<const unsigned char*>(shingle.text.data()), shingle.text.size(),
          shingle.hash);
      ++target.total;
    }
  }

 private:
  void StartWord() {
    if (!starts_.empty()) joined_.push_back(' ');
    word_begin_ = joined_.size();
    in_word_ = true;
  }

  void EndWord() {
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
  }

  void DropCurrentWord() {
    in_word_ = false;
    joined_.resize(starts_.empty() ? 0 : word_begin_ - 1);
  }

  std::string joined_;
  std::vector<size_t> starts_;
  std::vector<size_t> ends_;
  std::string scratch_;
  size_t word_begin_ = 0;
  bool in_word_ = false;
};

bool ShiftIsUsable() {
  if (CShingle::shingle_shift >= 1) return true;
  std::cerr << "Error: shingle shift must be at least 1, not " << CShingle::shingle_shift
            << "; no shingles built\n";
  return false;
}

}  // namespace

void _BuildShingles(std::istream& in, CShingleSet& target, int n) {
  if (!ShiftIsUsable()) return;
  WordCollector words;
  std::streambuf* source = in.rdbuf();
  if (in.good() && source != nullptr) {
    std::vector<char> chunk(kReadChunk);
    std::streamsize got;
    while ((got = source->sgetn(chunk.data(), static_cast<std::streamsize>(chunk.size()))) > 0)
      words.Feed(chunk.data(), static_cast<size_t>(got));
  }
  in.setstate(std::ios::eofbit);
  words.Finish();
  words.AppendShingles(target, n);
}

void _BuildShingles(std::string file_name, CShingleSet& target, int n) {
  if (!ShiftIsUsable()) return;
  int fd = open(file_name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    std::perror("");
    return;
  }
  WordCollector words;
  std::vector<char> chunk(kReadChunk);
  for (;;) {
    ssize_t got = read(fd, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) std::perror("");  // e.g. a directory: what was read so far counts
    if (got <= 0) break;
    words.Feed(chunk.data(), static_cast<size_t>(got));
  }
  close(fd);
  words.Finish();
  words.AppendShingles(target, n);
}

void BuildShingles(std::string file_name, CShingleSet& target, int n) {
  CShingleSet file_set;
  _BuildShingles(std::move(file_name), file_set, n);
  Unique(file_set);
  for (CShingle& shingle : file_set.list) shingle.doc_count = 1;
  target.list.splice(target.list.end(), file_set.list);
  target.total += file_set.total;
}

void LoadStopwords(std::string file_name) {
  std::ifstream in(file_name);
  if (!in) {
    std::cerr << messages::kErrorOpeningFile << file_name << "\n";
    return;
  }
  std::string word;
  while (in >> word) Stopwords.insert(word);
}
