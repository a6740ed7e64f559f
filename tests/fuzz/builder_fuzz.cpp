// Shingle building from a byte stream, with and without stop words, shifts 1
// to 3 and 1 to 6 words: every shingle is n words joined by single spaces and
// identified by the MD5 of its text, the count is what the word list allows,
// and the file form builds the same shingles as the stream form.
#define OPENSSL_SUPPRESS_DEPRECATED  // the one-shot MD5 call, as the library uses it
#include <openssl/md5.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "compat/builder.h"
#include "support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const int n = input.Pick(1, 6), shift = input.Pick(1, 3);
  const bool stop_words = input.Pick(0, 1) == 1;
  const std::string text = input.Rest(), path = std::string(FuzzWorkDir()) + "/text.txt";
  SettingsGuard guard;
  Stopwords.clear();
  if (stop_words) Stopwords = {"A", "THE", "\xC0\xC1"};
  const long words = static_cast<long>(Built(text, 1).list.size());
  CShingle::shingle_shift = shift;
  CShingleSet from_stream = Built(text, n), from_file;
  const std::list<CShingle>& list = from_stream.list;
  if (from_stream.total != static_cast<int32_t>(list.size()) ||
      static_cast<long>(list.size()) != (words < n ? 0 : (words - n) / shift + 1))
    abort();
  for (const CShingle& shingle : list) {
    const std::string& t = shingle.text;
    unsigned char digest[MD5_DIGEST_LENGTH];
    MD5(reinterpret_cast<const unsigned char*>(t.data()), t.size(), digest);
    if (std::memcmp(digest, shingle.hash, 16) != 0 || std::count(t.begin(), t.end(), ' ') != n - 1 ||
        t.empty() || t.front() == ' ' || t.back() == ' ' || t.find("  ") != std::string::npos ||
        (stop_words && (t == "A" || t == "THE")))
      abort();
  }
  { std::ofstream(path, std::ios::binary) << text; }
  _BuildShingles(path, from_file, n);
  auto same = [](const CShingle& a, const CShingle& b) {
    return a.text == b.text && HashEqual(a.hash, b.hash);
  };
  if (!std::equal(list.begin(), list.end(), from_file.list.begin(), from_file.list.end(), same))
    abort();
  return 0;
}
