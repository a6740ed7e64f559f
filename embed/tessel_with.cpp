// The thread-safe interface with explicit options: models of either mode,
// every formula, files and batches.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "compat/builder.h"
#include "core/model_description.h"
#include "core/ordered_run.h"
#include "core/thread_start.h"
#include "embed/handle.h"
#include "embed/messages.h"
#include "embed/tessel.h"
#include "scoring/document_judge.h"
#include "scoring/indexed_judge.h"
#include "scoring/shingle_judge.h"

namespace {

// A host's versioned struct over the defaults: the members its size covers.
template <typename T>
T FromHost(const T* given, void (*init)(T*, size_t)) {
  T value;
  init(&value, sizeof value);
  if (given != nullptr && given->size >= sizeof(size_t))
    std::memcpy(&value, given, std::min(given->size, sizeof value));
  value.size = sizeof value;
  return value;
}

// Writes the members the host's struct has; its size stays as it was.
template <typename T>
void ToHost(const T& value, T* host) {
  if (host == nullptr || host->size < sizeof(size_t)) return;
  const size_t size = host->size;
  std::memcpy(host, &value, std::min(size, sizeof value));
  host->size = size;
}

// Fills a host's struct of the given size with the members it has of values.
template <typename T>
void InitHost(T values, T* host, size_t size) {
  if (host == nullptr || size < sizeof(size_t)) return;
  values.size = sizeof values;
  host->size = size;
  ToHost(values, host);
}

int32_t Saturated(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

Status Invalid(std::string message) { return Status(StatusCode::kInvalidArgument, std::move(message)); }

// What is wrong with the open options.
Status OpenOptionsProblem(const tessel_open_options_t& options) {
  if (options.mode != TESSEL_MODE_SHINGLES && options.mode != TESSEL_MODE_LANGUAGE_MODEL)
    return Invalid(messages::kUnknownMode + std::to_string(options.mode));
  const std::string range =
      messages::kOutOfRange + std::to_string(INT32_MAX) + messages::kOutOfRangeEnd;
  if (options.shingle_length < 1 || options.shingle_length > INT32_MAX)
    return Invalid(messages::kShingleLength + range + std::to_string(options.shingle_length));
  if (options.shingle_shift < 1 || options.shingle_shift > INT32_MAX)
    return Invalid(messages::kShingleShift + range + std::to_string(options.shingle_shift));
  if (options.encoding < TESSEL_ENCODING_AUTO || options.encoding > TESSEL_ENCODING_MODEL)
    return Invalid(messages::kUnknownEncoding + std::to_string(options.encoding));
  return Status();
}

Status JudgeOptionsProblem(const tessel_judge_options_t& options) {
  if (options.formula < 1) return Invalid(messages::kBadFormula + std::to_string(options.formula));
  if (options.max_threshold < 0 || options.size_threshold < 0)
    return Invalid(messages::kNegativeShingleThresholds);
  return Status();
}

ScoringOptions ScoringOf(const tessel_judge_options_t& given) {
  ScoringOptions scoring;
  scoring.formula = Saturated(given.formula);
  scoring.lm.threshold_1 = given.threshold_1;
  scoring.lm.threshold_2 = given.threshold_2;
  scoring.lm.length = Saturated(given.length);
  scoring.lm.lambda = given.lambda;
  scoring.lm.lambda0 = given.lambda0;
  scoring.lm.factor = given.factor;
  scoring.lm.log = given.log != 0;
  scoring.max_threshold = Saturated(given.max_threshold);
  scoring.size_threshold = Saturated(given.size_threshold);
  return scoring;
}

// Without options, a model's description supplies how it was trained;
// without one, the defaults apply.
tessel_open_options_t DescribedDefaults(const std::string& directory) {
  tessel_open_options_t defaults;
  tessel_open_options_default(&defaults);
  ModelDescription described;
  if (!ReadModelDescription(directory, described)) return defaults;
  defaults.mode = described.language_model ? TESSEL_MODE_LANGUAGE_MODEL : TESSEL_MODE_SHINGLES;
  defaults.shingle_length = described.shingle_length;
  defaults.shingle_shift = described.shingle_shift;
  return defaults;
}

// The model's own rule is the one its description records, and the tool's
// default, auto, for a model without one.
TextEncoding EncodingOf(int64_t encoding, const std::string& directory) {
  switch (encoding) {
    case TESSEL_ENCODING_UTF8: return TextEncoding::kUtf8;
    case TESSEL_ENCODING_CP1251: return TextEncoding::kCp1251;
    case TESSEL_ENCODING_MODEL: return ModelEncoding(directory, TextEncoding::kAuto);
    default: return TextEncoding::kAuto;
  }
}

std::unique_ptr<tessel_t> OpenModel(const std::string& directory,
                                    const tessel_open_options_t& options, Status& problem) {
  const bool language_model = options.mode == TESSEL_MODE_LANGUAGE_MODEL;
  TextOptions text;
  text.shingle_length = static_cast<int32_t>(options.shingle_length);
  text.shingle_shift = static_cast<int32_t>(options.shingle_shift);
  text.encoding = EncodingOf(options.encoding, directory);
  text.upper_case = options.upper_case != 0;
  StopWordSet stop_words;
  if (options.stop_words != nullptr && !ReadStopWords(options.stop_words, stop_words, text)) {
    problem = SystemError(messages::kCannotOpenStopWords, options.stop_words, errno);
    return nullptr;
  }
  text.stop_words = &stop_words;
  CountIndex files[kModelSlots];
  problem = LoadModelFiles(directory, language_model, text, files);
  if (!problem.ok()) return nullptr;
  auto model = std::make_unique<tessel_t>(
      PrepareModel(files, language_model, options.exclusive_pairs != 0));
  model->stop_words = std::move(stop_words);
  model->text = text;
  model->text.stop_words = &model->stop_words;
  return model;
}

// Judges a file (path) or a buffer into doc with judge; why the file could
// not be read.
Status ReadItem(DocumentJudge& judge, WordsAndPairs& doc, const char* path, const char* text,
                size_t length) {
  if (path == nullptr && text == nullptr && length != 0) return Invalid(messages::kNoText);
  int error = 0;
  judge.Judge(doc, [&](TextWords& words) {
    if (path != nullptr) {
      error = words.ReadFile(path);
      return true;
    }
    return ReadDocument(text, length, words).ok();
  });
  return error != 0 ? SystemError(messages::kCannotRead, path, error) : Status();
}

// The shingle-mode verdict, gathered while the item is read: only the
// document's distinct digests are kept.
Status JudgeShingleItem(const tessel_t& model, const char* path, const char* text,
                             size_t length, const ScoringOptions& scoring,
                             tessel_verdict_t& verdict) {
  WordsAndPairs doc(model.text);
  DocumentJudge judge(model.model, scoring, model.text.shingle_length);
  const Status problem = ReadItem(judge, doc, path, text, length);
  if (!problem.ok()) return problem;
  const ShingleResult& found = judge.shingle_result();
  verdict.verdict = found.verdict;
  verdict.protected_count = found.protected_count;
  verdict.unprotected_count = found.unprotected_count;
  verdict.common_count = found.common_count;
  verdict.distinct = found.distinct;
  verdict.scaled = found.scaled;
  return Status();
}

// The language-model verdict, judged in windows of words as the item is
// read, so only a formula window's words are held.
Status JudgeLanguageModelItem(const tessel_t& model, const char* path, const char* text,
                                   size_t length, const ScoringOptions& scoring,
                                   tessel_verdict_t& verdict) {
  WordsAndPairs doc(model.text);
  DocumentJudge judge(model.model, scoring, model.text.shingle_length);
  const Status problem = ReadItem(judge, doc, path, text, length);
  if (!problem.ok()) return problem;
  // The tool judges no document without a word pair (it prints no line).
  if (doc.pair_count() == 0) return Status();
  const lm::Result& found = judge.lm_result();
  verdict.verdict = found.verdict;
  verdict.protected_score = found.protected_score;
  verdict.unprotected_score = found.unprotected_score;
  if (found.phrase_words == 0) return Status();
  verdict.phrase_offset = judge.phrase().offset;
  verdict.phrase_length = judge.phrase().end - judge.phrase().offset;
  return Status();
}

// One item: a file (path) or a buffer, judged as the tool judges a
// document; why it failed.
Status JudgeItem(const tessel_t& model, const char* path, const char* text, size_t length,
                      const ScoringOptions& scoring, tessel_verdict_t& verdict) {
  tessel_verdict_init(&verdict);
  if (model.model.language_model)
    return JudgeLanguageModelItem(model, path, text, length, scoring, verdict);
  return JudgeShingleItem(model, path, text, length, scoring, verdict);
}

// The checks and conversions every judge call shares; false after setting
// the error.
bool Prepared(const tessel_t* model, const tessel_judge_options_t* options,
              ScoringOptions& scoring, char** errptr) {
  if (model == nullptr) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoModel);
    return false;
  }
  const tessel_judge_options_t given = FromHost(options, tessel_judge_options_init);
  const Status problem = JudgeOptionsProblem(given);
  if (!problem.ok()) {
    SetError(errptr, problem);
    return false;
  }
  scoring = ScoringOf(given);
  return true;
}

// Runs a judge call, turning what it throws into a failure.
template <typename Call>
int Guarded(char** errptr, Call call) noexcept {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    SetError(errptr, StatusCode::kOutOfMemory, messages::kCallOutOfMemory);
  } catch (...) {  // no exception may reach a C caller
    SetError(errptr, StatusCode::kInternal, messages::kTextNotJudged);
  }
  return -1;
}

int JudgeOne(const tessel_t* model, const char* path, const char* text, size_t length,
             const tessel_judge_options_t* options, tessel_verdict_t* verdict, char** errptr) {
  ScoringOptions scoring;
  if (!Prepared(model, options, scoring, errptr)) return -1;
  return Guarded(errptr, [&] {
    tessel_verdict_t found;
    const Status problem = JudgeItem(*model, path, text, length, scoring, found);
    if (!problem.ok()) {
      SetError(errptr, problem);
      return -1;
    }
    ToHost(found, verdict);
    return static_cast<int>(found.verdict);
  });
}

// Element i of an array of versioned structs of the given stride.
template <typename T>
T* Element(T* first, size_t stride, size_t i) {
  using Byte = std::conditional_t<std::is_const_v<T>, const char, char>;
  return reinterpret_cast<T*>(reinterpret_cast<Byte*>(first) + i * stride);
}

}  // namespace

extern "C" void tessel_open_options_init(tessel_open_options_t* options, size_t size) {
  tessel_open_options_t defaults{};
  defaults.mode = TESSEL_MODE_SHINGLES;
  const TextOptions text;
  defaults.shingle_length = text.shingle_length;
  defaults.shingle_shift = text.shingle_shift;
  defaults.encoding = TESSEL_ENCODING_MODEL;
  defaults.upper_case = 0;
  InitHost(defaults, options, size);
}

extern "C" void tessel_judge_options_init(tessel_judge_options_t* options, size_t size) {
  const ScoringOptions scoring;
  tessel_judge_options_t defaults{};
  defaults.formula = 1;
  defaults.threshold_1 = scoring.lm.threshold_1;
  defaults.threshold_2 = scoring.lm.threshold_2;
  defaults.length = scoring.lm.length;
  defaults.lambda = scoring.lm.lambda;
  defaults.lambda0 = scoring.lm.lambda0;
  defaults.factor = scoring.lm.factor;
  defaults.log = scoring.lm.log;
  defaults.max_threshold = scoring.max_threshold;
  defaults.size_threshold = scoring.size_threshold;
  InitHost(defaults, options, size);
}

extern "C" void tessel_verdict_init_sized(tessel_verdict_t* verdict, size_t size) {
  InitHost(tessel_verdict_t{}, verdict, size);
}

extern "C" tessel_t* tessel_open_with(const char* directory, const tessel_open_options_t* options,
                                      char** errptr) {
  if (directory == nullptr) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoModelDirectory);
    return nullptr;
  }
  try {
    const tessel_open_options_t given =
        options != nullptr ? FromHost(options, tessel_open_options_init) : DescribedDefaults(directory);
    Status problem = OpenOptionsProblem(given);
    std::unique_ptr<tessel_t> model;
    if (problem.ok()) model = OpenModel(directory, given, problem);
    if (model == nullptr) SetError(errptr, problem);
    return model.release();
  } catch (const std::bad_alloc&) {
    SetError(errptr, StatusCode::kOutOfMemory, messages::kCallOutOfMemory);
  } catch (...) {
    SetError(errptr, StatusCode::kInternal, messages::kModelNotOpened);
  }
  return nullptr;
}

extern "C" int tessel_judge_text(const tessel_t* model, const char* text, size_t length,
                                 const tessel_judge_options_t* options, tessel_verdict_t* verdict,
                                 char** errptr) {
  if (text == nullptr && length != 0) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoText);
    return -1;
  }
  return JudgeOne(model, nullptr, text, length, options, verdict, errptr);
}

extern "C" int tessel_judge_file(const tessel_t* model, const char* path,
                                 const tessel_judge_options_t* options, tessel_verdict_t* verdict,
                                 char** errptr) {
  if (path == nullptr) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoFile);
    return -1;
  }
  return JudgeOne(model, path, nullptr, 0, options, verdict, errptr);
}

extern "C" long tessel_judge_many(const tessel_t* model, const tessel_item_t* items, size_t count,
                                  const tessel_judge_options_t* options,
                                  tessel_verdict_t* verdicts, char** errors, int threads,
                                  char** errptr) {
  if (count == 0) return 0;
  if (items == nullptr || verdicts == nullptr) {
    SetError(errptr, StatusCode::kInvalidArgument,
             items == nullptr ? messages::kNoItems : messages::kNoVerdicts);
    return -1;
  }
  if (items->size < sizeof(tessel_item_t) || verdicts->size < sizeof(size_t)) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kItemTooSmall);
    return -1;
  }
  ScoringOptions scoring;
  if (!Prepared(model, options, scoring, errptr)) return -1;
  // The strides are read once: the first verdict is written while others
  // are judged.
  const size_t item_stride = items->size, verdict_stride = verdicts->size;
  std::atomic<long> failed{0};
  auto judge = [&](size_t i) {
    const tessel_item_t& item = *Element(items, item_stride, i);
    tessel_verdict_t found;
    char* error = nullptr;
    const int caller_code = tessel_last_error_code();
    const int verdict = Guarded(&error, [&] {
      const Status problem = JudgeItem(*model, item.path, item.text, item.length, scoring, found);
      if (!problem.ok()) SetError(&error, problem);
      return problem.ok() ? static_cast<int>(found.verdict) : -1;
    });
    if (verdict < 0) {
      found.verdict = -1;
      found.error_code = tessel_last_error_code();  // set on this thread by the failure
      RestoreLastErrorCode(caller_code);
    }
    ToHost(found, Element(verdicts, verdict_stride, i));
    if (verdict < 0) ++failed;
    if (errors != nullptr) errors[i] = error;
    else std::free(error);
  };
  // As the tool's -j: one thread per processor this process may use.
  const size_t wanted = threads > 0 ? static_cast<size_t>(threads) : UsableProcessors();
  return Guarded(errptr, [&] {
    // Threads the system refuses leave their share to the others.
    RunAll(count, wanted, judge);
    return 0;
  }) < 0 ? -1 : failed.load();
}
