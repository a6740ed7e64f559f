// Shingle building from a byte stream, with and without stop words, shifts 1
// to 3 and 1 to 6 words: every shingle is n words joined by single spaces and
// identified by the MD5 of its text, the count is what the word list allows,
// and the file form builds the same shingles as the stream form.
#define OPENSSL_SUPPRESS_DEPRECATED  // the one-shot MD5 call, as the library uses it
#include <openssl/md5.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "core/builder.h"
#include "support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const int n = input.Pick(1, 6);
  const int shift = input.Pick(1, 3);
  const bool stop_words = input.Pick(0, 1) == 1;
  const std::string text = input.Rest();

  Stopwords.clear();
  if (stop_words) Stopwords = {"A", "THE", "\xC0\xC1"};
  const int32_t saved_shift = CShingle::shingle_shift;
  CShingle::shingle_shift = shift;

  CShingleSet from_stream;
  std::istringstream in(text);
  _BuildShingles(in, from_stream, n);
  if (from_stream.total != static_cast<int32_t>(from_stream.list.size())) abort();
  for (const CShingle& shingle : from_stream.list) {
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5(reinterpret_cast<const unsigned char*>(shingle.text.data()), shingle.text.size(), digest);
    if (std::memcmp(digest, shingle.hash, 16) != 0) abort();
    int spaces = 0;
    for (char c : shingle.text) spaces += c == ' ';
    if (spaces != n - 1 || shingle.text.empty() || shingle.text.front() == ' ' ||
        shingle.text.back() == ' ' || shingle.text.find("  ") != std::string::npos)
      abort();
    if (stop_words && (shingle.text == "A" || shingle.text == "THE")) abort();
  }

  // The unigrams give the word list; the shingle count follows from it.
  CShingle::shingle_shift = 1;
  CShingleSet words;
  std::istringstream again(text);
  _BuildShingles(again, words, 1);
  const long w = static_cast<long>(words.list.size());
  const long expected = w < n ? 0 : (w - n) / shift + 1;
  if (static_cast<long>(from_stream.list.size()) != expected) abort();

  CShingle::shingle_shift = shift;
  const std::string path = std::string(FuzzWorkDir()) + "/text.txt";
  { std::ofstream(path, std::ios::binary) << text; }
  CShingleSet from_file;
  _BuildShingles(path, from_file, n);
  if (from_file.list.size() != from_stream.list.size()) abort();
  auto a = from_file.list.begin();
  for (const CShingle& shingle : from_stream.list) {
    if (a->text != shingle.text || !HashEqual(a->hash, shingle.hash)) abort();
    ++a;
  }
  CShingle::shingle_shift = saved_shift;
  Stopwords.clear();
  return 0;
}
