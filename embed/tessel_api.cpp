// The thread-safe C interface: an open model is read-only, and every judge
// call keeps its words, digests and windows to itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/digest_index.h"
#include "core/save_marker.h"
#include "core/text_words.h"
#include "embed/embed.h"
#include "embed/tessel.h"
#include "scoring/formula_core.h"
#include "scoring/indexed_judge.h"

namespace {


std::string SystemError(const std::string& what, const std::string& path, int error) {
  char buffer[256];
  return what + path + ": " + strerror_r(error, buffer, sizeof buffer);
}

// Says why a model file cannot be used, or nothing when it can: it must open
// for reading, be a regular file and hold whole 16-byte records.
std::string ModelFileProblem(const std::string& path) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return SystemError("cannot open model file ", path, errno);
  struct stat info;
  std::string problem;
  if (fstat(fd, &info) != 0)
    problem = SystemError("cannot read model file ", path, errno);
  else if (!S_ISREG(info.st_mode))
    problem = "model file " + path + " is not a regular file";
  else if (info.st_size % kDigestSize != 0)
    problem = "model file " + path + " is damaged: its size, " + std::to_string(info.st_size) +
              " bytes, is not a multiple of 16";
  close(fd);
  return problem;
}

// Allocates nothing that could throw: it may run while memory is short.
void SetError(char** errptr, const char* message) noexcept {
  if (errptr == nullptr) return;
  std::free(*errptr);
  *errptr = strdup(message);
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

// The model of the thread-safe interface: judge calls only look counts up.
struct tessel_t {
  explicit tessel_t(CountIndex (&files)[4]) : model(files) {}
  JoinedModel model;
};

extern "C" tessel_t* tessel_open(const char* directory, char** errptr) {
  if (directory == nullptr) {
    SetError(errptr, "no model directory given");
    return nullptr;
  }
  try {
    CountIndex files[4];
    const std::vector<std::string> paths = ModelPaths(directory);
    const ModelReadLock lock(paths);
    std::string refusal;
    if (lock.Refused(&refusal)) {
      SetError(errptr, refusal.c_str());
      return nullptr;
    }
    for (int slot = 0; slot < 4; ++slot) {
      std::string error = ModelFileProblem(paths[slot]);
      if (error.empty()) CountIndex::Load(paths[slot], files[slot], &error);
      if (!error.empty()) {
        SetError(errptr, error.c_str());
        return nullptr;
      }
    }
    return new tessel_t(files);
  } catch (const std::bad_alloc&) {
    SetError(errptr, "out of memory");
  } catch (...) {  // no exception may reach a C caller
    SetError(errptr, "the model could not be opened");
  }
  return nullptr;
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
    const lm::Result found = JudgeFormula1(words, model->model.roles(), SettingsOf(*settings), {});
    if (result != nullptr) Fill(*result, found, words);
    return found.verdict ? 1 : 0;
  } catch (const std::bad_alloc&) {
    SetError(errptr, "out of memory");
  } catch (...) {
    SetError(errptr, "the text could not be judged");
  }
  return -1;
}

extern "C" void tessel_close(tessel_t* model) { delete model; }

extern "C" void tessel_free(void* ptr) { std::free(ptr); }
