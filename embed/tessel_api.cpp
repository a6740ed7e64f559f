// The thread-safe C interface: an open model is read-only, and every judge
// call keeps its words, digests and windows to itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/text_words.h"
#include "embed/tessel.h"
#include "scoring/formula_core.h"

namespace {

constexpr const char* kModelFiles[4] = {"/p.bin", "/p.bin.2", "/u.bin", "/u.bin.2"};
enum Slot { kProtectedWords = 0, kProtectedPairs = 1, kUnprotectedWords = 2, kUnprotectedPairs = 3 };

// One set file as the formula reads it: every record counts 1 and the total
// is 0, as for sets loaded by _openShingles.
class SetFile {
 public:
  // False with a message when the file cannot be used.
  bool Load(const std::string& path, std::string& error);
  int32_t Count(const unsigned char* digest) const {
    Digest key;
    std::memcpy(key.bytes, digest, kDigestSize);
    return std::binary_search(digests_.begin(), digests_.end(), key) ? 1 : 0;
  }
  size_t records() const { return records_; }
  int32_t total() const { return 0; }

 private:
  bool ReadAll(int fd, size_t size, const std::string& path, std::string& error);

  std::vector<Digest> digests_;  // distinct, ascending
  size_t records_ = 0;
};

std::string SystemError(const std::string& what, const std::string& path, int error) {
  char buffer[256];
  return what + path + ": " + strerror_r(error, buffer, sizeof buffer);
}

bool SetFile::Load(const std::string& path, std::string& error) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = SystemError("cannot open model file ", path, errno);
    return false;
  }
  struct stat info;
  bool loaded = false;
  if (fstat(fd, &info) != 0) {
    error = SystemError("cannot read model file ", path, errno);
  } else if (!S_ISREG(info.st_mode)) {
    error = "model file " + path + " is not a regular file";
  } else if (info.st_size % kDigestSize != 0) {
    error = "model file " + path + " is damaged: its size, " + std::to_string(info.st_size) +
            " bytes, is not a multiple of 16";
  } else {
    loaded = ReadAll(fd, static_cast<size_t>(info.st_size), path, error);
  }
  close(fd);
  return loaded;
}

bool SetFile::ReadAll(int fd, size_t size, const std::string& path, std::string& error) {
  digests_.resize(size / kDigestSize);
  char* target = reinterpret_cast<char*>(digests_.data());
  size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, target + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = SystemError("cannot read model file ", path, errno);
      return false;
    }
    if (got == 0) {
      error = "model file " + path + " is damaged: it ended while being read";
      return false;
    }
    done += static_cast<size_t>(got);
  }
  records_ = digests_.size();
  std::sort(digests_.begin(), digests_.end());
  digests_.erase(std::unique(digests_.begin(), digests_.end()), digests_.end());
  return true;
}

void SetError(char** errptr, const std::string& message) {
  if (errptr == nullptr) return;
  std::free(*errptr);
  *errptr = strdup(("tessel: " + message).c_str());
}

lm::Settings SettingsOf(const tessel_settings_t& given) {
  lm::Settings settings;
  settings.threshold_1 = given.threshold_1;
  settings.threshold_2 = given.threshold_2;
  settings.length = given.length;
  settings.lambda = given.lambda;
  settings.factor = given.factor;
  settings.log = given.log != 0;
  return settings;
}

// The digests of every word and of every pair of neighbouring words.
void HashWords(const TextWords& words, std::vector<Digest>& singles, std::vector<Digest>& pairs) {
  const size_t n = words.size();
  singles.reserve(n);
  for (size_t k = 0; k < n; ++k) singles.push_back(Md5Of(words.Word(k)));
  if (n < 2) return;
  pairs.reserve(n - 1);
  for (size_t k = 0; k + 1 < n; ++k) pairs.push_back(Md5Of(words.Span(k, 2)));
}

void Fill(tessel_result_t& result, const lm::Result& found, const TextWords& words) {
  result.verdict = found.verdict ? 1 : 0;
  result.protected_score = found.protected_score;
  result.unprotected_score = found.unprotected_score;
  result.phrase_offset = 0;
  result.phrase_length = 0;
  if (found.phrase_words == 0) return;
  const size_t last = found.phrase_first + found.phrase_words - 1;
  result.phrase_offset = words.SourceOffset(found.phrase_first);
  result.phrase_length = words.SourceOffset(last) + words.Word(last).size() - result.phrase_offset;
}

}  // namespace

struct tessel_t {
  SetFile files[4];
  lm::Model model;
};

extern "C" tessel_t* tessel_open(const char* directory, char** errptr) {
  if (directory == nullptr) {
    SetError(errptr, "no model directory given");
    return nullptr;
  }
  try {
    tessel_t* opened = new tessel_t;
    for (int slot = 0; slot < 4; ++slot) {
      std::string error;
      if (!opened->files[slot].Load(directory + std::string(kModelFiles[slot]), error)) {
        SetError(errptr, error);
        delete opened;
        return nullptr;
      }
    }
    opened->model = {lm::LookupOf(opened->files[kProtectedWords]),
                     lm::LookupOf(opened->files[kUnprotectedWords]),
                     lm::LookupOf(opened->files[kProtectedPairs]),
                     lm::LookupOf(opened->files[kUnprotectedPairs])};
    return opened;
  } catch (const std::bad_alloc&) {
    SetError(errptr, "out of memory");
    return nullptr;
  }
}

extern "C" void tessel_settings_default(tessel_settings_t* settings) {
  if (settings == nullptr) return;
  const lm::Settings defaults;
  settings->threshold_1 = defaults.threshold_1;
  settings->threshold_2 = defaults.threshold_2;
  settings->length = defaults.length;
  settings->lambda = defaults.lambda;
  settings->factor = defaults.factor;
  settings->log = defaults.log ? 1 : 0;
}

extern "C" int tessel_judge(const tessel_t* model, const char* text, size_t length,
                            const tessel_settings_t* settings, tessel_result_t* result,
                            char** errptr) {
  if (model == nullptr || (text == nullptr && length != 0)) {
    SetError(errptr, model == nullptr ? "no model given" : "no text given");
    return -1;
  }
  tessel_settings_t defaults;
  if (settings == nullptr) {
    tessel_settings_default(&defaults);
    settings = &defaults;
  }
  try {
    TextWords words;
    if (length != 0) words.Feed(text, length);
    words.Finish();
    std::vector<Digest> singles, pairs;
    HashWords(words, singles, pairs);
    const lm::Result found = lm::Formula1(lm::DocumentOf(words, singles, pairs), model->model,
                                          SettingsOf(*settings), lm::Output{});
    if (result != nullptr) Fill(*result, found, words);
    return found.verdict ? 1 : 0;
  } catch (const std::bad_alloc&) {
    SetError(errptr, "out of memory");
    return -1;
  }
}

extern "C" void tessel_close(tessel_t* model) { delete model; }

extern "C" void tessel_free(void* ptr) { std::free(ptr); }
