#include "compat/builder.h"

#include <cctype>
#include <cstring>
#include <iterator>
#include <sstream>
#include <istream>
#include <iostream>
#include <vector>

#include "compat/settings.h"
#include "core/charset.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/saturating.h"
#include "core/shingle_shift.h"
#include "core/text_words.h"
#include "core/word_digests.h"

std::set<std::string> Stopwords;

namespace {

void AppendShingles(const TextWords& words, CShingleSet& target, int n) {
  const size_t count = words.ShingleCount(n);
  const size_t step = static_cast<size_t>(words.shift());
  for (size_t i = 0, k = 0; k < count; i += step, ++k) {
    CShingle& shingle = target.list.emplace_back();
    const std::string_view text = words.Span(i, static_cast<size_t>(n));
    if (words.read_as_utf8())
      shingle.text = Cp1251ToUtf8(text);
    else
      shingle.text.assign(text.data(), text.size());
    const Digest digest = Md5Of(text);
    std::memcpy(shingle.hash, digest.bytes, kDigestSize);
    target.total = SaturatingAdd(target.total, 1);
  }
}

// A file's shingles merged (count = occurrences in it), appended with
// doc_count 1.
void MoveDistinct(CShingleSet& file_set, CShingleSet& target) {
  Unique(file_set);
  for (CShingle& shingle : file_set.list) shingle.doc_count = 1;
  target.list.splice(target.list.end(), file_set.list);
  target.total = SaturatingAdd(target.total, file_set.total);
}

}  // namespace

void _BuildShingles(std::istream& in, CShingleSet& target, int n) {
  TextWords words(CurrentTextOptions());
  if (!ShiftIsUsable(words.shift(), std::cerr)) return;
  std::streambuf* source = in.rdbuf();
  if (in.good() && source != nullptr) {
    std::vector<char> chunk(1 << 16);
    std::streamsize got;
    while ((got = source->sgetn(chunk.data(), static_cast<std::streamsize>(chunk.size()))) > 0)
      words.Feed(chunk.data(), static_cast<size_t>(got));
  }
  in.setstate(std::ios::eofbit);
  words.Finish();
  AppendShingles(words, target, n);
}

namespace {

// A file's shingles with the process-wide settings, as the exported builds
// read files.
void AppendFileShingles(const std::string& file_name, CShingleSet& target, int n) {
  TextWords words(CurrentTextOptions());
  if (!ShiftIsUsable(words.shift(), std::cerr)) return;
  words.ReadFile(file_name, 1, std::cerr);  // a file that cannot be read has no words
  AppendShingles(words, target, n);
}

}  // namespace

void _BuildShingles(std::string file_name, CShingleSet& target, int n) {
  AppendFileShingles(file_name, target, n);
}

void BuildShingles(std::string file_name, CShingleSet& target, int n) {
  CShingleSet file_set;
  AppendFileShingles(file_name, file_set, n);
  MoveDistinct(file_set, target);
}

void AppendDistinctShingles(const TextWords& words, CShingleSet& target, int n) {
  CShingleSet file_set;
  AppendShingles(words, file_set, n);
  MoveDistinct(file_set, target);
}

void LoadStopwords(std::string file_name) {
  if (!ReadStopWords(file_name, Stopwords))
    std::cerr << messages::kErrorOpeningFile << file_name << "\n";
}
