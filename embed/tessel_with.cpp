// The thread-safe interface with explicit options: models of either mode,
// every formula, files and batches.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "compat/builder.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/model_description.h"
#include "core/program_input.h"
#include "core/shingle_shift.h"
#include "core/ordered_run.h"
#include "core/thread_start.h"
#include "embed/handle.h"
#include "embed/messages.h"
#include "embed/tessel.h"
#include "scoring/document_judge.h"
#include "scoring/indexed_judge.h"
#include "scoring/model_sources.h"
#include "scoring/robust_judge.h"
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
  if (options.mode != TESSEL_MODE_SHINGLES && options.mode != TESSEL_MODE_LANGUAGE_MODEL &&
      options.mode != TESSEL_MODE_ROBUST)
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
  if (!(options.robust_threshold >= 0))
    return Invalid(messages::kBadRobustThreshold + std::to_string(options.robust_threshold));
  if (!(options.converter_timeout >= 0))
    return Invalid(messages::kBadConverterTimeout + std::to_string(options.converter_timeout));
  return Status();
}

// One converter: a key (".pdf", or a media type) and the program.
struct Converter {
  std::string key, program;
};

// How a document given to tessel_judge_file or tessel_judge_buffer is read,
// as the tool reads a data file: through a converter, then the binary check.
struct Reading {
  std::vector<Converter> converters;
  double timeout = 60;
  bool judge_binary = false;
};

// Everything a judge call takes from its options.
struct CallOptions {
  ScoringOptions scoring;
  bool score = false;  // a language model scores every window
  double robust_threshold = kRobustThreshold;
  Reading reading;
};

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

Status ConvertersOf(const char* const* given, std::vector<Converter>& converters) {
  for (; given != nullptr && *given != nullptr; ++given) {
    const std::string entry = *given;
    const size_t equals = entry.find('=');
    if (equals == 0 || equals == std::string::npos || equals + 1 == entry.size())
      return Invalid(messages::kBadConverter + entry);
    converters.push_back({Lowered(entry.substr(0, equals)), entry.substr(equals + 1)});
  }
  return Status();
}

// The extension of a file name's last component, with its dot and lower
// case ("" for none): what chooses a converter for a file.
std::string ExtensionOf(const std::string& name) {
  const size_t slash = name.rfind('/');
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lowered(name.substr(dot));
}

// A media type without its parameters, in lower case.
std::string MediaTypeOf(const std::string& name) {
  std::string type = name.substr(0, name.find(';'));
  while (!type.empty() && std::isspace(static_cast<unsigned char>(type.back()))) type.pop_back();
  return Lowered(type);
}

// The converter for a document so named (a path, a file name or a media
// type), or null.
const Converter* ConverterFor(const Reading& reading, const char* name) {
  if (name == nullptr || *name == '\0' || reading.converters.empty()) return nullptr;
  const std::string type = MediaTypeOf(name), extension = ExtensionOf(name);
  for (const Converter& converter : reading.converters)
    if (converter.key == type) return &converter;
  if (extension.empty()) return nullptr;
  for (const Converter& converter : reading.converters)
    if (converter.key == extension) return &converter;
  return nullptr;
}

// The extension a temporary copy gets, so that a converter that chooses by
// extension (examples/pre/any2text) sees the kind: the name's own, or the
// usual one of a media type; only letters and digits are kept.
std::string TemporaryExtension(const char* name) {
  static const struct {
    const char* type;
    const char* extension;
  } kKnown[] = {
      {"application/pdf", ".pdf"},
      {"application/vnd.openxmlformats-officedocument.wordprocessingml.document", ".docx"},
      {"application/vnd.oasis.opendocument.text", ".odt"},
      {"text/plain", ".txt"},
  };
  const std::string type = MediaTypeOf(name);
  for (const auto& known : kKnown)
    if (type == known.type) return known.extension;
  const std::string extension = ExtensionOf(name);
  std::string kept = extension.empty() ? "" : ".";
  for (size_t i = 1; i < extension.size() && kept.size() < 16; ++i)
    if (std::isalnum(static_cast<unsigned char>(extension[i]))) kept += extension[i];
  return kept.size() > 1 ? kept : "";
}

// Where temporary files go: $TMPDIR, or /tmp.
std::string TemporaryPlace() {
  const char* base = std::getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

// Runs a converter on a copy of a document that write(path) makes at path
// (false with errno set when it cannot), in a private directory (mkdtemp,
// mode 0700) under $TMPDIR (or /tmp); the copy is named by the extension of
// described and removed with the directory afterwards, whatever happened.
template <typename Write>
Status ConvertCopy(const Converter& converter, const std::string& name, const char* described,
                   double timeout, TextWords& words, std::ostringstream& messages, Write write) {
  const std::string place = TemporaryPlace();
  std::string directory = place + "/tessel-XXXXXX";
  if (mkdtemp(directory.data()) == nullptr)
    return SystemError(messages::kCannotMakeTemporary, place, errno);
  const std::string path = directory + "/document" + TemporaryExtension(described);
  Status problem;
  if (!write(path)) problem = SystemError(messages::kCannotMakeTemporary, place, errno);
  if (problem.ok() &&
      !ReadThroughProgram(converter.program, path, name, timeout, words, messages))
    problem = Status(StatusCode::kPreprocessorFailed, std::string(LastLine(messages.str())));
  unlink(path.c_str());
  rmdir(directory.c_str());
  return problem;
}

// A new file at path (O_EXCL, mode 0600) for writing; -1 with errno set.
int CreateCopy(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// Runs a converter on a buffer: the bytes go to a file created afresh.
Status ConvertBuffer(const Converter& converter, const char* data, size_t length,
                     const std::string& name, const char* described, double timeout,
                     TextWords& words, std::ostringstream& messages) {
  return ConvertCopy(converter, name, described, timeout, words, messages,
                     [&](const std::string& path) {
                       const int fd = CreateCopy(path);
                       if (fd < 0) return false;
                       const bool written = WriteAll(fd, data, length);
                       const int error = errno;
                       const bool closed = close(fd) == 0;
                       if (!written) errno = error;
                       return written && closed;
                     });
}

// What one judge call is given: a path, or a buffer and what describes it.
// A call of tessel_judge_text (and a buffer of tessel_judge_many) is not
// checked nor converted: its bytes are the text.
struct Input {
  const char* path = nullptr;
  const char* text = nullptr;
  size_t length = 0;
  const char* name = nullptr;  // tessel_judge_buffer's file name or media type
  bool document = false;       // read as the tool reads a data file
};

// Why a document so named that is not text is not judged.
Status BinaryProblem(const std::string& name) {
  const std::string line = messages::kBinaryDocument;
  return Status(StatusCode::kBinary, name + line.substr(0, line.size() - 1));
}

// Reads an input into words (finished); why it was not read, or why it is
// not to be judged (a converter failed; a document that is not text).
Status ReadInput(TextWords& words, const Input& input, const Reading& reading) {
  if (input.path == nullptr && input.text == nullptr && input.length != 0)
    return Invalid(messages::kNoText);
  std::ostringstream unused;
  if (!input.document) {
    if (input.path != nullptr) {
      const int error = words.ReadFile(input.path, 0, unused);
      return error != 0 ? SystemError(messages::kCannotRead, input.path, error) : Status();
    }
    ReadDocument(input.text, input.length, words);  // a buffer always reads whole
    return Status();
  }
  const std::string name = input.path != nullptr                           ? input.path
                           : input.name != nullptr && *input.name != '\0' ? input.name
                                                                            : messages::kTheBuffer;
  if (!reading.judge_binary) words.StopIfBinary();
  const Converter* converter = ConverterFor(reading, input.path != nullptr ? input.path : input.name);
  std::ostringstream said;
  if (converter != nullptr && input.path != nullptr) {
    if (!ReadThroughProgram(converter->program, input.path, name, reading.timeout, words, said))
      return Status(StatusCode::kPreprocessorFailed, std::string(LastLine(said.str())));
  } else if (converter != nullptr) {
    const Status converted = ConvertBuffer(*converter, input.text, input.length, name, input.name,
                                           reading.timeout, words, said);
    if (!converted.ok()) return converted;
  } else if (input.path != nullptr) {
    if (const int error = words.ReadFile(input.path, 0, unused); error != 0)
      return SystemError(messages::kCannotRead, input.path, error);
  } else {
    ReadDocument(input.text, input.length, words);  // a buffer always reads whole
  }
  if (words.binary() && !reading.judge_binary) return BinaryProblem(name);
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

// The sources of a model opened with them (the robust mode: its units);
// why they cannot be used. A model saved without a sources file names none,
// except in the robust mode, which needs it.
Status LoadSources(const std::string& directory, bool language_model, bool robust,
                   const CountIndex (&files)[kModelSlots], tessel_t& model) {
  const int slot = language_model ? kProtectedPairs : kProtectedWords;
  std::string problem;
  bool missing = false;
  SourceFinder found = SourcesOfDirectory(directory, files[slot], slot, problem, missing);
  const std::string in = messages::kModelPrefix + directory;
  if (!robust) {
    if (!problem.empty() && !missing)
      return Status(StatusCode::kDamaged, in + messages::kUnusableSources + problem);
    model.sources = std::move(found);
    return Status();
  }
  if (missing)
    return Status(StatusCode::kNotFound, in + messages::kNotJudgedRobust + messages::kNoSourcesForRobust);
  if (problem.empty()) {
    model.units.shingles = std::move(found);
    problem = ChainsOfDirectory(directory, model.units);
  }
  if (problem.empty()) return Status();
  return Status(StatusCode::kDamaged, in + messages::kNotJudgedRobust + problem);
}

std::unique_ptr<tessel_t> OpenModel(const std::string& directory,
                                    const tessel_open_options_t& options, Status& problem) {
  const bool language_model = options.mode == TESSEL_MODE_LANGUAGE_MODEL;
  const bool robust = options.mode == TESSEL_MODE_ROBUST;
  if (robust) {
    ModelDescription described;
    if (!ReadModelDescription(directory, described) || !described.robust) {
      problem = Invalid(messages::kModelPrefix + directory + messages::kNotTrainedRobust);
      return nullptr;
    }
  }
  TextOptions text;
  text.shingle_length = static_cast<int32_t>(options.shingle_length);
  text.shingle_shift = static_cast<int32_t>(options.shingle_shift);
  text.encoding = EncodingOf(options.encoding, directory);
  text.upper_case = options.upper_case != 0 || robust;  // a robust model is case folded
  StopWordSet stop_words;
  if (options.stop_words != nullptr && !ReadStopWords(options.stop_words, stop_words, text)) {
    problem = SystemError(messages::kCannotOpenStopWords, options.stop_words, errno);
    return nullptr;
  }
  text.stop_words = &stop_words;
  CountIndex files[kModelSlots];
  problem = LoadModelFiles(directory, language_model, text, files);
  if (!problem.ok()) return nullptr;
  // The sources follow the protected set as read, before the model takes it.
  tessel_t unjoined{Model()};
  unjoined.robust = robust;
  if (robust || options.sources != 0) {
    problem = LoadSources(directory, language_model, robust, files, unjoined);
    if (!problem.ok()) return nullptr;
  }
  auto model = std::make_unique<tessel_t>(
      PrepareModel(files, language_model, options.exclusive_pairs != 0));
  model->robust = robust;
  model->sources = std::move(unjoined.sources);
  model->units = std::move(unjoined.units);
  model->stop_words = std::move(stop_words);
  model->text = text;
  model->text.stop_words = &model->stop_words;
  return model;
}

// The working memory of one judgement: its words and the memory its digests
// are gathered in. A judgement that allocated them afresh would fault its
// pages in and miss the cache on them every time, so a judgement's memory is
// kept in a pool for the next one, whatever thread or handle makes it.
struct Scratch {
  explicit Scratch(const TextOptions& text) : doc(text), words(text) {}
  WordsAndPairs doc;  // shingle and language-model modes
  TextWords words;    // the robust scan's
  JudgeMemory memory;
};

// The states between judgements: as many as were judged at once recently,
// up to kIdle; each keeps at most TextWords::kKeptBytes a buffer, so that one
// huge document does not pin its memory.
class ScratchPool {
 public:
  static constexpr size_t kIdle = 32;
  ScratchPool() { idle_.reserve(kIdle); }

  // A state ready for a document read with text.
  std::unique_ptr<Scratch> Take(const TextOptions& text) {
    std::unique_ptr<Scratch> scratch;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (!idle_.empty()) {
        scratch = std::move(idle_.back());
        idle_.pop_back();
      }
    }
    if (scratch == nullptr) return std::make_unique<Scratch>(text);
    scratch->doc.Restart(text);
    scratch->words.Restart(text);
    return scratch;
  }
  // Takes back a state that a judgement is done with (or that it left half
  // way); what it holds of the document is dropped here.
  void Give(std::unique_ptr<Scratch> scratch) noexcept {
    if (scratch == nullptr) return;
    try {
      // Restarted with the defaults: nothing of the handle is kept, which
      // may be closed before the state is taken again.
      const TextOptions idle;
      scratch->doc.Restart(idle);
      scratch->words.Restart(idle);
      scratch->memory.shingles.Restart(1);
      std::lock_guard<std::mutex> hold(lock_);
      if (idle_.size() < kIdle) idle_.push_back(std::move(scratch));
    } catch (...) {  // a state that cannot be kept is freed
    }
  }

 private:
  std::mutex lock_;
  std::vector<std::unique_ptr<Scratch>> idle_;
};

// The process's pool, never destroyed: a host's threads may still judge
// while the process exits.
ScratchPool& Pool() {
  static ScratchPool* const pool = new ScratchPool;
  return *pool;
}

// A state taken from the pool for one call and given back at its end.
struct BorrowedScratch {
  explicit BorrowedScratch(const tessel_t& model) : scratch(Pool().Take(model.text)) {}
  ~BorrowedScratch() { Pool().Give(std::move(scratch)); }
  BorrowedScratch(const BorrowedScratch&) = delete;
  BorrowedScratch& operator=(const BorrowedScratch&) = delete;
  std::unique_ptr<Scratch> scratch;
};

// Names in verdict the first of the sources found (a file of the handle).
void NameSource(const tessel_t& model, const std::vector<Source>& found,
                tessel_verdict_t& verdict) {
  if (found.empty()) return;
  const std::vector<std::string>& paths = model.files().paths();
  for (size_t file = 0; file < paths.size(); ++file) {
    if (paths[file] != found.front().path) continue;
    verdict.source = static_cast<int64_t>(file);
    verdict.source_shared = found.front().shared;
    verdict.source_name = paths[file].c_str();
    return;
  }
}

// Judges an input into doc with judge.
Status ReadItem(DocumentJudge& judge, WordsAndPairs& doc, const Input& input,
                const Reading& reading) {
  Status problem;
  judge.Judge(doc, [&](TextWords& words) {
    problem = ReadInput(words, input, reading);
    return true;
  });
  return problem;
}

// The verdict of a document judge read in shingle mode.
void ShingleVerdictOf(const tessel_t& model, const DocumentJudge& judge,
                      tessel_verdict_t& verdict) {
  const ShingleResult& found = judge.shingle_result();
  verdict.verdict = found.verdict;
  verdict.protected_count = found.protected_count;
  verdict.unprotected_count = found.unprotected_count;
  verdict.common_count = found.common_count;
  verdict.distinct = found.distinct;
  verdict.scaled = found.scaled;
  verdict.score = found.score;
  if (found.verdict && !model.sources.empty())
    NameSource(model, ShingleSourcesOf(judge.shingles(), model.model.shingles, model.sources, 1),
               verdict);
}

// The shingle-mode verdict, gathered while the item is read: only the
// document's distinct digests are kept.
Status JudgeShingleItem(const tessel_t& model, const Input& input, const CallOptions& call,
                        tessel_verdict_t& verdict) {
  BorrowedScratch held(model);
  DocumentJudge judge(model.model, call.scoring, model.text.shingle_length, false,
                      std::move(held.scratch->memory));
  const Status problem = ReadItem(judge, held.scratch->doc, input, call.reading);
  if (problem.ok()) ShingleVerdictOf(model, judge, verdict);
  held.scratch->memory = judge.TakeMemory();
  return problem;
}

// The verdict of a document judge read in language-model mode.
void LanguageModelVerdictOf(const tessel_t& model, WordsAndPairs& doc, const DocumentJudge& judge,
                            bool score, tessel_verdict_t& verdict) {
  // The tool judges no document without a word pair (it prints no line).
  verdict.score = std::nan("");
  if (doc.pair_count() == 0) return;
  const lm::Result& found = judge.lm_result();
  verdict.verdict = found.verdict;
  verdict.protected_score = found.protected_score;
  verdict.unprotected_score = found.unprotected_score;
  if (score && found.scored_windows != 0) verdict.score = found.best;
  if (found.verdict && !model.sources.empty())
    NameSource(model, PairSourcesOf(doc, found, model.sources, 1), verdict);
  if (found.phrase_words == 0) return;
  verdict.phrase_offset = judge.phrase().offset;
  verdict.phrase_length = judge.phrase().end - judge.phrase().offset;
}

// The language-model verdict, judged in windows of words as the item is
// read, so only a formula window's words are held (all of them when the
// sources of a hit are to be named).
Status JudgeLanguageModelItem(const tessel_t& model, const Input& input, const CallOptions& call,
                              tessel_verdict_t& verdict) {
  BorrowedScratch held(model);
  WordsAndPairs& doc = held.scratch->doc;
  ScoringOptions scoring = call.scoring;
  scoring.lm.best_score = call.score;  // the score: every window's margin is looked at
  DocumentJudge judge(model.model, scoring, model.text.shingle_length, !model.sources.empty(),
                      std::move(held.scratch->memory));
  const Status problem = ReadItem(judge, doc, input, call.reading);
  if (problem.ok()) LanguageModelVerdictOf(model, doc, judge, call.score, verdict);
  held.scratch->memory = judge.TakeMemory();
  return problem;
}

// The robust scan's verdict on a document's words.
void RobustVerdictOf(const tessel_t& model, const TextWords& words, double threshold,
                     tessel_verdict_t& verdict) {
  const RobustResult found = JudgeRobustWords(words, model.text.shingle_length,
                                              model.model.shingles, model.units, threshold);
  verdict.verdict = found.verdict;
  verdict.protected_count = found.protected_count;
  verdict.score = static_cast<double>(found.score);
  if (found.file != kNoFile && found.file < model.units.shingles.files()) {
    verdict.source = found.file;
    verdict.source_shared = found.score;
    verdict.source_name = model.units.shingles.PathOf(found.file).c_str();
  }
}

// The robust scan, as the tool's --robust: the document's shingles (and
// shorter units) are kept in text order, for the chains.
Status JudgeRobustItem(const tessel_t& model, const Input& input, const CallOptions& call,
                       tessel_verdict_t& verdict) {
  BorrowedScratch held(model);
  TextWords& words = held.scratch->words;
  const Status problem = ReadInput(words, input, call.reading);
  if (!problem.ok()) return problem;
  RobustVerdictOf(model, words, call.robust_threshold, verdict);
  return Status();
}

// One item judged as the tool judges a document; why it failed.
Status JudgeItem(const tessel_t& model, const Input& input, const CallOptions& call,
                 tessel_verdict_t& verdict) {
  tessel_verdict_init(&verdict);
  if (model.robust) return JudgeRobustItem(model, input, call, verdict);
  if (model.model.language_model) return JudgeLanguageModelItem(model, input, call, verdict);
  return JudgeShingleItem(model, input, call, verdict);
}

// The checks and conversions every judge call shares; false after setting
// the error.
bool Prepared(const tessel_t* model, const tessel_judge_options_t* options, CallOptions& call,
              char** errptr) {
  if (model == nullptr) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoModel);
    return false;
  }
  const tessel_judge_options_t given = FromHost(options, tessel_judge_options_init);
  Status problem = JudgeOptionsProblem(given);
  if (problem.ok()) problem = ConvertersOf(given.converters, call.reading.converters);
  if (!problem.ok()) {
    SetError(errptr, problem);
    return false;
  }
  call.scoring = ScoringOf(given);
  call.robust_threshold = given.robust_threshold;
  call.reading.timeout = given.converter_timeout;
  call.reading.judge_binary = given.judge_binary != 0;
  call.score = given.score != 0;
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

int JudgeOne(const tessel_t* model, const Input& input, const tessel_judge_options_t* options,
             tessel_verdict_t* verdict, char** errptr) {
  CallOptions call;
  if (!Prepared(model, options, call, errptr)) return -1;
  return Guarded(errptr, [&] {
    tessel_verdict_t found;
    const Status problem = JudgeItem(*model, input, call, found);
    if (!problem.ok()) {
      SetError(errptr, problem);
      return -1;
    }
    ToHost(found, verdict);
    return static_cast<int>(found.verdict);
  });
}

// An unnamed file (O_TMPFILE, mode 0600) in the temporary place for a
// document to wait in until it can be converted; where that is in place.
// On a file system without unnamed files, a named one removed at once.
// -1 with errno set when none can be made.
int OpenSpool(std::string& place) {
  place = TemporaryPlace();
  const int fd = open(place.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string path = place + "/tessel-XXXXXX";
  const int named = mkostemp(path.data(), O_CLOEXEC);
  if (named >= 0) unlink(path.c_str());
  return named;
}

// Gives a spooled document the name path for its converter: a link to the
// unnamed file, or a copy where it cannot be linked (a file that had a name).
bool NameSpool(int spool, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(spool);
  if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  const int fd = CreateCopy(path);
  if (fd < 0) return false;
  std::vector<char> chunk(size_t{1} << 16);
  bool copied = true;
  for (off_t at = 0;;) {
    const ssize_t got = pread(spool, chunk.data(), chunk.size(), at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || !WriteAll(fd, chunk.data(), static_cast<size_t>(got))) {
      copied = got == 0;
      break;
    }
    at += got;
  }
  const int error = errno;
  if (close(fd) != 0) copied = false;
  else errno = error;
  return copied;
}

}  // namespace

// A document pushed a piece at a time. Its words are judged as they come
// (the shingles' distinct digests, the formula's windows) or, for the robust
// scan, kept for it; a document that a converter reads waits unread in an
// unnamed file until it ends.
struct tessel_stream_t {
  tessel_stream_t(const tessel_t& opened, CallOptions options, const char* given)
      : model(opened),
        call(std::move(options)),
        described(given != nullptr ? given : ""),
        name(described.empty() ? messages::kTheBuffer : described) {}
  ~tessel_stream_t() { Release(); }
  tessel_stream_t(const tessel_stream_t&) = delete;
  tessel_stream_t& operator=(const tessel_stream_t&) = delete;

  // The words of the mode (and its judge), ready to be fed.
  void Prepare() {
    shift_usable = CheckShift(model.text.shingle_shift).ok();
    scratch = Pool().Take(model.text);
    if (model.robust) {
      words = &scratch->words;
    } else {
      doc = &scratch->doc;
      ScoringOptions scoring = call.scoring;
      const bool lm = model.model.language_model;
      if (lm) scoring.lm.best_score = call.score;  // the score: every window is looked at
      judge.emplace(model.model, scoring, model.text.shingle_length, lm && !model.sources.empty(),
                    std::move(scratch->memory));
      judge->Begin(*doc);
    }
    if (!call.reading.judge_binary) Read([](TextWords& text) { text.StopIfBinary(); });
  }
  // Runs read(words) on the words being read.
  template <typename Reader>
  void Read(Reader read) {
    if (words) return read(*words);
    doc->ReadWith([&](TextWords& text) {
      read(text);
      return true;
    });
  }
  const TextWords& text() const { return words ? *words : doc->text(); }
  bool refused_binary() const { return text().binary() && !call.reading.judge_binary; }

  Status Write(const char* data, size_t length) {
    if (spool >= 0) {
      if (!WriteAll(spool, data, length))
        return SystemError(messages::kCannotMakeTemporary, place, errno);
      return Status();
    }
    // A document found not to be text is not judged: the rest is not read.
    if (shift_usable && !refused_binary()) Read([&](TextWords& text) { text.Feed(data, length); });
    return Status();
  }

  Status Finish(tessel_verdict_t& verdict) {
    if (converter != nullptr) {
      Prepare();
      std::ostringstream said;
      Status converted;
      Read([&](TextWords& text) {
        const auto link = [this](const std::string& path) { return NameSpool(spool, path); };
        converted = ConvertCopy(*converter, name, described.c_str(), call.reading.timeout, text,
                                said, link);
      });
      CloseSpool();
      if (!converted.ok()) return converted;
    } else if (shift_usable) {
      Read([](TextWords& text) { text.Finish(); });
    }
    if (judge) judge->Finish(*doc);
    if (refused_binary()) return BinaryProblem(name);
    if (model.robust)
      RobustVerdictOf(model, *words, call.robust_threshold, verdict);
    else if (model.model.language_model)
      LanguageModelVerdictOf(model, *doc, *judge, call.score, verdict);
    else
      ShingleVerdictOf(model, *judge, verdict);
    return Status();
  }

  // What the stream holds of the document, let go once it is judged (or
  // abandoned): its memory goes back to the pool.
  void Release() noexcept {
    if (judge) {
      try {
        scratch->memory = judge->TakeMemory();
      } catch (...) {  // the memory is freed with the judge
      }
      judge.reset();
    }
    doc = nullptr;
    words = nullptr;
    Pool().Give(std::move(scratch));
    CloseSpool();
  }
  void CloseSpool() {
    if (spool >= 0) close(spool);
    spool = -1;
  }

  const tessel_t& model;
  CallOptions call;
  std::string described;  // the file name or media type given
  std::string name;       // what messages call the document
  const Converter* converter = nullptr;  // one of call's
  int spool = -1;         // the unnamed file a document to convert waits in
  std::string place;      // where it is
  bool shift_usable = true;
  std::unique_ptr<Scratch> scratch;  // the memory the document is read into
  WordsAndPairs* doc = nullptr;      // shingle and language-model modes
  std::optional<DocumentJudge> judge;
  TextWords* words = nullptr;        // the robust scan's
  Status failed;          // a write that failed fails the rest
  bool finished = false;
};

namespace {

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
  defaults.robust_threshold = kRobustThreshold;
  defaults.converters = nullptr;
  defaults.converter_timeout = Reading().timeout;
  defaults.judge_binary = 0;
  InitHost(defaults, options, size);
}

extern "C" void tessel_verdict_init_sized(tessel_verdict_t* verdict, size_t size) {
  tessel_verdict_t defaults{};
  defaults.source = -1;
  InitHost(defaults, verdict, size);
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
  Input input;
  input.text = text;
  input.length = length;
  return JudgeOne(model, input, options, verdict, errptr);
}

extern "C" int tessel_judge_file(const tessel_t* model, const char* path,
                                 const tessel_judge_options_t* options, tessel_verdict_t* verdict,
                                 char** errptr) {
  if (path == nullptr) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoFile);
    return -1;
  }
  Input input;
  input.path = path;
  input.document = true;
  return JudgeOne(model, input, options, verdict, errptr);
}

extern "C" int tessel_judge_buffer(const tessel_t* model, const char* data, size_t length,
                                   const char* name, const tessel_judge_options_t* options,
                                   tessel_verdict_t* verdict, char** errptr) {
  if (data == nullptr && length != 0) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoText);
    return -1;
  }
  Input input;
  input.text = data;
  input.length = length;
  input.name = name;
  input.document = true;
  return JudgeOne(model, input, options, verdict, errptr);
}

extern "C" const char* tessel_source_name(const tessel_t* model, int64_t index) {
  if (model == nullptr || index < 0 || static_cast<uint64_t>(index) >= model->files().files())
    return nullptr;
  return model->files().PathOf(static_cast<uint32_t>(index)).c_str();
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
  CallOptions call;
  if (!Prepared(model, options, call, errptr)) return -1;
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
      Input input;
      input.path = item.path;
      input.text = item.text;
      input.length = item.length;
      input.document = item.path != nullptr;
      const Status problem = JudgeItem(*model, input, call, found);
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

extern "C" tessel_stream_t* tessel_stream_open(const tessel_t* model, const char* name,
                                               const tessel_judge_options_t* options,
                                               char** errptr) {
  CallOptions call;
  if (!Prepared(model, options, call, errptr)) return nullptr;
  tessel_stream_t* opened = nullptr;
  Guarded(errptr, [&] {
    auto stream = std::make_unique<tessel_stream_t>(*model, std::move(call), name);
    stream->converter =
        ConverterFor(stream->call.reading, stream->described.empty() ? nullptr : name);
    if (stream->converter == nullptr) {
      stream->Prepare();
    } else if ((stream->spool = OpenSpool(stream->place)) < 0) {
      SetError(errptr, SystemError(messages::kCannotMakeTemporary, stream->place, errno));
      return -1;
    }
    opened = stream.release();
    return 0;
  });
  return opened;
}

namespace {

// Whether a stream may be written or finished; false after setting the error.
bool Usable(tessel_stream_t* stream, char** errptr) {
  if (stream == nullptr) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoStream);
    return false;
  }
  if (stream->finished) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kStreamFinished);
    return false;
  }
  if (stream->failed.ok()) return true;
  SetError(errptr, stream->failed);
  return false;
}

}  // namespace

extern "C" int tessel_stream_write(tessel_stream_t* stream, const char* data, size_t length,
                                   char** errptr) {
  if (!Usable(stream, errptr)) return -1;
  if (data == nullptr && length != 0) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoText);
    return -1;
  }
  // A write cut off by an exception leaves words half fed: the stream fails.
  stream->failed = Status(StatusCode::kInternal, messages::kTextNotJudged);
  return Guarded(errptr, [&] {
    stream->failed = stream->Write(data, length);
    if (stream->failed.ok()) return 0;
    SetError(errptr, stream->failed);
    return -1;
  });
}

extern "C" int tessel_stream_finish(tessel_stream_t* stream, tessel_verdict_t* verdict,
                                    char** errptr) {
  if (!Usable(stream, errptr)) {
    if (stream != nullptr && !stream->finished) {
      stream->finished = true;
      stream->Release();
    }
    return -1;
  }
  stream->finished = true;
  return Guarded(errptr, [&] {
    tessel_verdict_t found;
    tessel_verdict_init(&found);
    const Status problem = stream->Finish(found);
    stream->Release();
    if (!problem.ok()) {
      SetError(errptr, problem);
      return -1;
    }
    ToHost(found, verdict);
    return static_cast<int>(found.verdict);
  });
}

extern "C" void tessel_stream_close(tessel_stream_t* stream) { delete stream; }
