// Judging speed of a build of the library against the time of hashing the
// same documents, measured in one process so that the ratio holds on a noisy
// machine. The library is loaded with dlopen, so that two builds (before and
// after a change) can be measured one after the other with one binary.
//
//   judge_bench api LIBRARY MODEL_DIR PASSES [--general] DOC...
//       _openShingles time and resident memory per record, then PASSES
//       passes of _processShingles over the documents and of the baseline:
//       tokenising and MD5-hashing every word and every pair once. With
//       --general, Detailed is set, which makes Formula1 score every window
//       (the same work as the default settings on documents it does not flag)
//       and rules out the judge that skips windows.
//   judge_bench hash N DOC...
//       the baseline of the tool's data loop: reading each document and
//       hashing its shingles of N words (N = 0: its words and pairs).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <dlfcn.h>
#include <openssl/md5.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// The builder's word rules: ASCII letters and 0xC0..0xFF, upper-cased.
unsigned char Letter(unsigned char c) {
  if (c >= 0xE0) return static_cast<unsigned char>(c - 32);
  if (c >= 0xC0 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return c;
  return 0;
}

// Tokenises a text and hashes its shingles of n words (n = 0: words and
// pairs); returns a byte of the digests so that nothing is optimised away.
unsigned Hash(const std::string& text, int n) {
  std::string joined;
  std::vector<size_t> starts, ends;
  bool in_word = false;
  for (unsigned char c : text) {
    const unsigned char letter = Letter(c);
    if (letter != 0) {
      if (!in_word) {
        if (!starts.empty()) joined.push_back(' ');
        starts.push_back(joined.size());
        in_word = true;
      }
      joined.push_back(static_cast<char>(letter));
    } else if (in_word) {
      ends.push_back(joined.size());
      in_word = false;
    }
  }
  if (in_word) starts.pop_back();
  unsigned char digest[16];
  unsigned sum = 0;
  auto md5 = [&](size_t first, size_t last) {
    MD5(reinterpret_cast<const unsigned char*>(joined.data()) + starts[first],
        ends[last] - starts[first], digest);
    sum += digest[0];
  };
  const size_t words = ends.size();
  if (n == 0) {
    for (size_t i = 0; i < words; ++i) md5(i, i);
    for (size_t i = 0; i + 1 < words; ++i) md5(i, i + 1);
  } else {
    for (size_t i = 0; i + static_cast<size_t>(n) <= words; ++i) md5(i, i + n - 1);
  }
  return sum;
}

int RunApi(int argc, char** argv) {
  void* library = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::cerr << dlerror() << "\n";
    return 1;
  }
  using Open = void* (*)(const char*);
  using Process = int (*)(void*, const char*, int);
  using Close = void (*)(void*);
  auto open = reinterpret_cast<Open>(dlsym(library, "_openShingles"));
  auto process = reinterpret_cast<Process>(dlsym(library, "_processShingles"));
  auto close = reinterpret_cast<Close>(dlsym(library, "_closeShingles"));
  const std::string model_dir = argv[3];
  const int passes = std::atoi(argv[4]);
  int first_doc = 5;
  if (argc > 5 && std::string(argv[5]) == "--general") {
    *static_cast<bool*>(dlsym(library, "Detailed")) = true;
    ++first_doc;
  }
  std::vector<std::string> docs;
  for (int i = first_doc; i < argc; ++i) docs.push_back(ReadAll(argv[i]));
  double records = 0;
  for (const char* name : {"/p.bin", "/p.bin.2", "/u.bin", "/u.bin.2"})
    records += static_cast<double>(ReadAll(model_dir + name).size() / 16);

  const long before = ResidentBytes();
  Clock::time_point start = Clock::now();
  void* model = open(model_dir.c_str());
  const double open_seconds = Seconds(start);
  const double resident = static_cast<double>(ResidentBytes() - before);

  std::FILE* quiet = std::freopen("/dev/null", "w", stdout);  // the formula's lines
  // Passes alternate, and the fastest pass of each counts: on a shared
  // machine the other processes only ever add time.
  int flagged = 0;
  double judge_seconds = 1e9, hash_seconds = 1e9;
  unsigned sum = 0;
  for (int pass = 0; pass < passes; ++pass) {
    start = Clock::now();
    flagged = 0;
    for (const std::string& doc : docs)
      flagged += process(model, doc.c_str(), static_cast<int>(doc.size()));
    judge_seconds = std::min(judge_seconds, Seconds(start));
    start = Clock::now();
    for (const std::string& doc : docs) sum += Hash(doc, 0);
    hash_seconds = std::min(hash_seconds, Seconds(start));
  }
  std::fflush(stdout);
  (void)quiet;
  start = Clock::now();
  close(model);
  const double close_seconds = Seconds(start);
  std::fprintf(stderr,
               "records %.0f; open %.3f s (%.3f s per million), %.1f resident bytes per record, "
               "close %.3f s\njudging %.3f s per pass, hashing %.3f s per pass: %.2fx; "
               "flagged %d of %zu (%u)\n",
               records, open_seconds, open_seconds / records * 1e6, resident / records,
               close_seconds, judge_seconds, hash_seconds, judge_seconds / hash_seconds, flagged,
               docs.size(), sum & 1);
  return 0;
}

int RunHash(int argc, char** argv) {
  const int n = std::atoi(argv[2]);
  unsigned sum = 0;
  Clock::time_point start = Clock::now();
  for (int i = 3; i < argc; ++i) sum += Hash(ReadAll(argv[i]), n);
  std::printf("%.3f\n", Seconds(start) + (sum & 1) * 1e-9);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "api" && argc >= 5) return RunApi(argc, argv);
  if (mode == "hash" && argc >= 3) return RunHash(argc, argv);
  std::cerr << "usage: judge_bench api LIBRARY MODEL_DIR PASSES [--general] DOC...\n"
               "       judge_bench hash N DOC...\n";
  return 2;
}
