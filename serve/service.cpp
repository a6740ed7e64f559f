#include "serve/service.h"

#include <cctype>
#include <cmath>
#include <sstream>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

namespace tessel::serve {
namespace {

using Clock = std::chrono::steady_clock;

// Upper bounds of the latency histogram, in seconds.
constexpr double kLatencyBuckets[] = {0.001, 0.005, 0.01, 0.05, 0.1, 0.5, 1, 5, 30};
constexpr size_t kBucketCount = sizeof kLatencyBuckets / sizeof kLatencyBuckets[0];

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kJudged: return "judged";
    case Outcome::kBusy: return "busy";
    case Outcome::kTimedOut: return "timeout";
    case Outcome::kFailed: return "failed";
    case Outcome::kTooLarge: return "too_large";
    case Outcome::kBadRequest: return "bad_request";
    case Outcome::kUnauthorized: return "unauthorized";
  }
  return "failed";
}
constexpr Outcome kOutcomes[] = {Outcome::kJudged,   Outcome::kBusy,       Outcome::kTimedOut,
                                 Outcome::kFailed,   Outcome::kTooLarge,   Outcome::kBadRequest,
                                 Outcome::kUnauthorized};

std::string UtcNow() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(millis));
  return text;
}


// The end of a plain-text stream, and a plain text judged whole, is judged
// on the request's own thread when, to pass judge_timeout, its judging would
// have to run at under this many bytes a second (the library judges some hundred times as fast): the
// hand-over to a worker and back costs each request two thread switches. A
// judgement that overruns all the same is answered as timed out.
constexpr double kInlineBytesPerSecond = 1e6;

// One judgement's state, shared by the request and the thread that judges:
// whichever finishes last releases it, so a request that gave up waiting
// leaves nothing dangling.
struct JudgeTask {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  int rc = -1;
  int code = 0;  // the failure's TESSEL_ERROR_ code
  tessel_verdict_t verdict{};
  std::string error;
  std::string source;  // copied while the model is held: the verdict's points into it
};

}  // namespace

// The threads that judge: as many as requests may be in flight, started as
// they are first needed (a c-icap child starts its own after the fork), and
// kept, so that a request pays no thread creation. A slot is taken before a
// job is given, so there is always a worker for it, at once or as soon as
// one that started is waiting.
class Service::JudgePool {
 public:
  explicit JudgePool(unsigned workers) : most_(workers == 0 ? 1 : workers) {}
  ~JudgePool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    cv_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }
  JudgePool(const JudgePool&) = delete;
  JudgePool& operator=(const JudgePool&) = delete;

  // Hands job to a worker; false when there is none and none can be started.
  bool Run(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    if (jobs_.size() > idle_ && threads_.size() < most_) {
      try {
        threads_.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        if (threads_.empty()) {
          jobs_.pop_back();
          return false;
        }
      }
    }
    cv_.notify_one();
    return true;
  }

 private:
  void Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      ++idle_;
      cv_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      --idle_;
      if (jobs_.empty()) return;  // stopping, with nothing left to do
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }

  const size_t most_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  size_t idle_ = 0;
  bool stopping_ = false;
};

namespace {

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

// A model with the number of its load: requests hold it while they judge,
// and the last one to let go of a swapped-out model closes it.
struct Service::LoadedModel {
  LoadedModel(tessel_t* h, uint64_t g, int64_t e) : handle(h), generation(g), encoding(e) {}
  ~LoadedModel() { tessel_close(handle); }
  LoadedModel(const LoadedModel&) = delete;
  LoadedModel& operator=(const LoadedModel&) = delete;
  tessel_t* handle;
  uint64_t generation;
  int64_t encoding;  // the rule the handle reads by
};

struct Service::Counters {
  std::atomic<uint64_t> outcomes[sizeof kOutcomes / sizeof kOutcomes[0]]{};
  std::atomic<uint64_t> protected_verdicts{0};
  std::atomic<uint64_t> clean_verdicts{0};
  std::atomic<uint64_t> bytes{0};
  std::atomic<uint64_t> buckets[kBucketCount]{};
  std::atomic<uint64_t> latency_count{0};
  std::atomic<uint64_t> latency_micros{0};
  std::atomic<uint64_t> generation{0};
  std::atomic<uint64_t> reload_failures{0};
  std::atomic<uint64_t> load_micros{0};
};

Service::Service(ServeConfig config)
    : config_(std::move(config)),
      counters_(new Counters),
      pool_(new JudgePool(config_.max_in_flight)) {
  for (const std::string& converter : config_.converters) converters_.push_back(converter.c_str());
  converters_.push_back(nullptr);
  config_.judge.converters = config_.converters.empty() ? nullptr : converters_.data();
  config_.judge.score = 1;  // every answer carries the score, a language model's too
  if (config_.request_log != "-") {
    log_ = std::fopen(config_.request_log.c_str(), "a");
    if (log_ == nullptr)
      std::fprintf(stderr, "tessel: %s: %s; logging to standard error\n", config_.request_log.c_str(),
                   std::strerror(errno));
  }
}

Service::~Service() {
  pool_.reset();  // the judgements still running end first
  if (log_ != nullptr) std::fclose(log_);
}

std::shared_ptr<const Service::LoadedModel> Service::Current() const { return std::atomic_load(&model_); }

bool Service::HasModel() const { return Current() != nullptr; }

int64_t Service::Encoding() const {
  std::shared_ptr<const LoadedModel> model = Current();
  return model != nullptr ? model->encoding : int64_t{TESSEL_ENCODING_MODEL};
}

namespace {

// The encoding rule a model directory's description records ("encoding
// auto", "utf-8" or "cp1251"); TESSEL_ENCODING_MODEL when it cannot be told,
// left for the library to resolve.
int64_t RecordedEncoding(const std::string& directory) {
  std::FILE* file = std::fopen((directory + "/tessel.model").c_str(), "r");
  if (file == nullptr) return TESSEL_ENCODING_MODEL;
  int64_t encoding = TESSEL_ENCODING_MODEL;
  char line[256];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text(line);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    if (text == "encoding auto") encoding = TESSEL_ENCODING_AUTO;
    if (text == "encoding utf-8") encoding = TESSEL_ENCODING_UTF8;
    if (text == "encoding cp1251") encoding = TESSEL_ENCODING_CP1251;
  }
  std::fclose(file);
  return encoding;
}

}  // namespace

bool Service::Reload(std::string* error) {
  std::lock_guard<std::mutex> lock(reload_mutex_);
  tessel_open_options_t open = config_.open;
  open.stop_words = config_.stop_words.empty() ? nullptr : config_.stop_words.c_str();
  auto start = Clock::now();
  // The rule is named when the model is opened, so that the handle reads by
  // the one recorded here even if the description changes meanwhile (a
  // model that contradicts it then fails to load, and the next reload takes
  // it); front ends that hand over converted text convert to it.
  if (open.encoding == TESSEL_ENCODING_MODEL) open.encoding = RecordedEncoding(config_.model);
  char* message = nullptr;
  tessel_t* opened = tessel_open_with(config_.model.c_str(), &open, &message);
  if (opened == nullptr) {
    *error = message != nullptr ? message : "the model cannot be opened";
    tessel_free(message);
    counters_->reload_failures++;
    LogEvent("reload_failed", *error);
    return false;
  }
  uint64_t generation = counters_->generation + 1;
  std::shared_ptr<const LoadedModel> fresh;
  try {
    fresh = std::make_shared<const LoadedModel>(opened, generation, open.encoding);
  } catch (const std::bad_alloc&) {
    tessel_close(opened);
    *error = "out of memory";
    counters_->reload_failures++;
    LogEvent("reload_failed", *error);
    return false;
  }
  std::atomic_store(&model_, fresh);
  uint64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
  counters_->load_micros = micros;
  counters_->generation = generation;
  LogEvent("model_loaded", "generation " + std::to_string(generation) + " from " + config_.model);
  return true;
}

bool Service::AcquireSlot(Judgement* judgement) {
  std::unique_lock<std::mutex> lock(slots_mutex_);
  bool free = slots_cv_.wait_for(lock, std::chrono::duration<double>(config_.queue_timeout),
                                 [this] { return in_flight_ < config_.max_in_flight; });
  if (!free) {
    judgement->outcome = Outcome::kBusy;
    judgement->error = "busy: " + std::to_string(config_.max_in_flight) + " requests in flight";
    return false;
  }
  ++in_flight_;
  return true;
}

void Service::ReleaseSlot() {
  {
    std::lock_guard<std::mutex> lock(slots_mutex_);
    --in_flight_;
  }
  slots_cv_.notify_all();
}

unsigned Service::InFlight() const {
  std::lock_guard<std::mutex> lock(slots_mutex_);
  return in_flight_;
}

bool Service::WaitIdle(std::chrono::duration<double> timeout) {
  std::unique_lock<std::mutex> lock(slots_mutex_);
  return slots_cv_.wait_for(lock, timeout, [this] { return in_flight_ == 0; });
}

std::string ScoreText(const Judgement& judgement) {
  if (std::isnan(judgement.verdict.score)) return "null";
  std::ostringstream text;
  text << judgement.verdict.score;
  return text.str();
}

bool Service::HasConverter(const std::string& name) const {
  const std::string type = Lowered(name.substr(0, name.find(';')));
  const size_t dot = name.rfind('.');
  const std::string extension =
      dot == std::string::npos || name.find('/', dot) != std::string::npos ? "" : Lowered(name.substr(dot));
  for (const std::string& converter : config_.converters) {
    const std::string key = Lowered(converter.substr(0, converter.find('=')));
    if (key == type || (!extension.empty() && key == extension)) return true;
  }
  return false;
}

Judgement Service::Judge(const char* text, size_t length, const std::string& name) {
  Judgement judgement;
  std::shared_ptr<const LoadedModel> model = Current();
  if (model == nullptr) {
    judgement.error = "no model loaded";
    return judgement;
  }
  if (!AcquireSlot(&judgement)) return judgement;
  judgement.generation = model->generation;
  judgement.encoding = model->encoding;
  const tessel_judge_options_t options = config_.judge;
  // Plain text is judged here, as the end of a plain stream is.
  if (name.empty() && JudgedHere(length)) {
    const Clock::time_point start = Clock::now();
    tessel_verdict_t verdict;
    tessel_verdict_init(&verdict);
    char* message = nullptr;
    const int rc = tessel_judge_text(model->handle, text, length, &options, &verdict, &message);
    TakeHere(rc, message, verdict, start, &judgement);
    ReleaseSlot();
    return judgement;
  }
  // The slot stays taken until the judgement really ends.
  auto document = std::make_shared<const std::string>(text, length);
  JudgeOnPool(
      [model, document, name, options](tessel_verdict_t* verdict, char** message) {
        return name.empty() ? tessel_judge_text(model->handle, document->data(), document->size(),
                                                &options, verdict, message)
                            : tessel_judge_buffer(model->handle, document->data(), document->size(),
                                                  name.c_str(), &options, verdict, message);
      },
      &judgement);
  return judgement;
}

std::unique_ptr<Service::Stream> Service::Open(const std::string& name, Judgement* refused) {
  std::shared_ptr<const LoadedModel> model = Current();
  if (model == nullptr) {
    *refused = Judgement{};
    refused->error = "no model loaded";
    return nullptr;
  }
  // A body without a name is judged as tessel_judge_text judges it: its
  // bytes are the text, with no binary check.
  tessel_judge_options_t options = config_.judge;
  if (name.empty()) options.judge_binary = 1;
  char* message = nullptr;
  tessel_stream_t* stream =
      tessel_stream_open(model->handle, name.empty() ? nullptr : name.c_str(), &options, &message);
  if (stream == nullptr) {
    *refused = Judgement{};
    refused->error = message != nullptr ? message : "the document could not be judged";
    tessel_free(message);
    return nullptr;
  }
  return std::make_unique<Stream>(*this, std::move(model), stream, name.empty());
}

Service::Stream::Stream(Service& service, std::shared_ptr<const LoadedModel> model,
                        tessel_stream_t* stream, bool plain)
    : service_(service), model_(std::move(model)), stream_(stream), plain_(plain) {}

Service::Stream::~Stream() { tessel_stream_close(stream_); }  // null once handed over

bool Service::Stream::Write(const char* data, size_t length) {
  if (!error_.empty() || stream_ == nullptr) return false;
  written_ += length;
  char* message = nullptr;
  if (tessel_stream_write(stream_, data, length, &message) == 0) return true;
  error_ = message != nullptr ? message : "the document could not be judged";
  tessel_free(message);
  return false;
}

Judgement Service::Stream::Finish() {
  Judgement judgement;
  judgement.generation = model_->generation;
  judgement.encoding = model_->encoding;
  if (stream_ == nullptr) {
    judgement.error = "the document could not be judged";
    return judgement;
  }
  // The end of the document takes a slot as Judge does. Plain text whose
  // end cannot overrun judge_timeout but at a rate far below the library's
  // is finished here, as Judge judges it; anything else on a worker of the
  // pool so that the request can stop waiting for it, which then closes
  // the stream and gives the slot back; the model it holds stays open
  // until then.
  if (!service_.AcquireSlot(&judgement)) return judgement;
  if (plain_ && service_.JudgedHere(written_)) {
    FinishHere(&judgement);
    service_.ReleaseSlot();
    return judgement;
  }
  tessel_stream_t* stream = stream_;
  const bool started = service_.JudgeOnPool(
      [model = model_, stream](tessel_verdict_t* verdict, char** message) {
        const int rc = tessel_stream_finish(stream, verdict, message);
        tessel_stream_close(stream);
        return rc;
      },
      &judgement);
  if (!started) return judgement;  // the destructor closes the stream
  stream_ = nullptr;  // the worker closes it, holding the model until then
  // A failed write says why better than the finish that follows it.
  if (judgement.outcome == Outcome::kFailed && !error_.empty()) judgement.error = error_;
  return judgement;
}

bool Service::JudgeOnPool(std::function<int(tessel_verdict_t*, char**)> judge, Judgement* judgement) {
  auto task = std::make_shared<JudgeTask>();
  tessel_verdict_init(&task->verdict);
  const bool started = pool_->Run([this, task, judge = std::move(judge)] {
    char* message = nullptr;
    const int rc = judge(&task->verdict, &message);
    const int code = rc < 0 ? tessel_last_error_code() : 0;
    {
      std::lock_guard<std::mutex> lock(task->mutex);
      task->rc = rc;
      task->code = code;
      if (task->verdict.source_name != nullptr) task->source = task->verdict.source_name;
      task->verdict.source_name = nullptr;
      if (message != nullptr) task->error = message;
      task->done = true;
    }
    tessel_free(message);
    task->done_cv.notify_all();
    ReleaseSlot();
  });
  if (!started) {
    ReleaseSlot();
    judgement->error = "no thread to judge on";
    return false;
  }
  std::unique_lock<std::mutex> lock(task->mutex);
  if (!task->done_cv.wait_for(lock, std::chrono::duration<double>(config_.judge_timeout),
                              [&] { return task->done; })) {
    judgement->outcome = Outcome::kTimedOut;
    judgement->error = "judging took longer than the judge timeout";
  } else if (task->rc < 0) {
    judgement->error = task->error.empty() ? "the document could not be judged" : task->error;
    judgement->skipped = task->code == TESSEL_ERROR_BINARY;
  } else {
    judgement->outcome = Outcome::kJudged;
    judgement->verdict = task->verdict;
    judgement->source = task->source;
  }
  return true;
}

bool Service::JudgedHere(size_t bytes) const {
  return static_cast<double>(bytes) <= kInlineBytesPerSecond * config_.judge_timeout;
}

void Service::TakeHere(int rc, char* message, const tessel_verdict_t& verdict,
                       Clock::time_point start, Judgement* judgement) const {
  const int code = rc < 0 ? tessel_last_error_code() : 0;
  if (std::chrono::duration<double>(Clock::now() - start).count() > config_.judge_timeout) {
    // Answered as a judgement on the pool would have been, only later.
    judgement->outcome = Outcome::kTimedOut;
    judgement->error = "judging took longer than the judge timeout";
  } else if (rc < 0) {
    judgement->error = message != nullptr ? message : "the document could not be judged";
    judgement->skipped = code == TESSEL_ERROR_BINARY;
  } else {
    judgement->outcome = Outcome::kJudged;
    judgement->verdict = verdict;
    if (verdict.source_name != nullptr) judgement->source = verdict.source_name;  // while the model is held
    judgement->verdict.source_name = nullptr;
  }
  tessel_free(message);
}

void Service::Stream::FinishHere(Judgement* judgement) {
  const Clock::time_point start = Clock::now();
  tessel_verdict_t verdict;
  tessel_verdict_init(&verdict);
  char* message = nullptr;
  const int rc = tessel_stream_finish(stream_, &verdict, &message);
  service_.TakeHere(rc, message, verdict, start, judgement);
  // A failed write says why better than the finish that follows it.
  if (rc < 0 && !error_.empty() && judgement->outcome != Outcome::kTimedOut) judgement->error = error_;
  tessel_stream_close(stream_);
  stream_ = nullptr;
}

Judgement Service::Refuse(Outcome outcome, std::string error) {
  Judgement judgement;
  judgement.outcome = outcome;
  judgement.error = std::move(error);
  judgement.generation = counters_->generation;
  return judgement;
}

void Service::Record(const char* front, const std::string& id, size_t size, const Judgement& judgement,
                     Clock::time_point start) {
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  Counters& c = *counters_;
  c.outcomes[static_cast<size_t>(judgement.outcome)]++;
  c.bytes += size;
  size_t bucket = 0;
  while (bucket < kBucketCount && seconds > kLatencyBuckets[bucket]) ++bucket;
  if (bucket < kBucketCount) c.buckets[bucket]++;
  c.latency_count++;
  c.latency_micros += static_cast<uint64_t>(seconds * 1e6);

  nlohmann::ordered_json line = {{"time", UtcNow()}, {"front", front}, {"id", id},
                         {"size", size},     {"outcome", OutcomeName(judgement.outcome)}};
  if (judgement.outcome == Outcome::kJudged) {
    bool flagged = judgement.verdict.verdict == 1;
    (flagged ? c.protected_verdicts : c.clean_verdicts)++;
    line["verdict"] = flagged;
    // The graded score in every mode (null where a language model scored
    // no window), and the protected file named.
    line["score"] = judgement.verdict.score;
    if (config_.open.mode != TESSEL_MODE_LANGUAGE_MODEL)
      line["protected"] = judgement.verdict.protected_count;
    if (!judgement.source.empty()) line["source"] = judgement.source;
  } else {
    line["error"] = judgement.error;
    if (judgement.skipped) line["skipped"] = true;
  }
  line["seconds"] = seconds;
  line["generation"] = judgement.generation;
  WriteLog(line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

std::string Service::VerdictJson(const std::string& name, const Judgement& judgement) const {
  nlohmann::ordered_json out = {
      {"type", "document"}, {"version", 1}, {"path", name}, {"mode", ModeName(config_)}};
  bool lm = config_.open.mode == TESSEL_MODE_LANGUAGE_MODEL;
  if (lm) out["formula"] = config_.judge.formula;
  if (judgement.outcome != Outcome::kJudged) {
    out["error"] = judgement.error;
    return out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  }
  const tessel_verdict_t& v = judgement.verdict;
  out["verdict"] = v.verdict == 1;
  out["score"] = v.score;  // NaN (no window scored) is written as null
  if (config_.open.mode == TESSEL_MODE_ROBUST) {
    out["score"] = static_cast<int64_t>(v.score);  // a chain's length, as the tool writes it
    out["threshold"] = config_.judge.robust_threshold;
    out["protected"] = v.protected_count;
    out["source"] = judgement.source.empty() ? nlohmann::ordered_json(nullptr)
                                             : nlohmann::ordered_json(judgement.source);
  } else if (lm) {
    if (v.verdict == 1) {
      nlohmann::ordered_json window = {{"protected_score", v.protected_score},
                               {"unprotected_score", v.unprotected_score}};
      window["offset"] = v.phrase_length == 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(v.phrase_offset);
      window["length"] = v.phrase_length;
      out["window"] = window;
    } else {
      out["window"] = nullptr;
    }
  } else {
    out["protected"] = v.protected_count;
    out["unprotected"] = v.unprotected_count;
    out["common"] = v.common_count;
    out["distinct"] = v.distinct;
    double threshold = static_cast<double>(config_.judge.max_threshold);
    if (v.scaled) threshold = threshold * static_cast<double>(v.distinct) / static_cast<double>(config_.judge.size_threshold);
    out["threshold"] = threshold;
    out["scaled"] = v.scaled != 0;
  }
  // With sources: the protected file a hit shares most with, as the tool's
  // --sources=1 names it.
  if (config_.open.sources != 0 && config_.open.mode != TESSEL_MODE_ROBUST) {
    nlohmann::ordered_json sources = nlohmann::ordered_json::array();
    if (!judgement.source.empty())
      sources.push_back({{"path", judgement.source}, {"shared", v.source_shared}});
    out["sources"] = sources;
  }
  out["generation"] = judgement.generation;
  return out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string Service::Metrics() const {
  const Counters& c = *counters_;
  std::string out;
  auto metric = [&](const char* name, const char* type, const char* help) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
  };
  auto value = [&](const std::string& series, double v) {
    char number[64];
    std::snprintf(number, sizeof number, "%.17g", v);
    out += series + " " + number + "\n";
  };
  metric("tessel_requests_total", "counter", "Requests answered, by outcome.");
  for (Outcome outcome : kOutcomes)
    value(std::string("tessel_requests_total{outcome=\"") + OutcomeName(outcome) + "\"}",
          static_cast<double>(c.outcomes[static_cast<size_t>(outcome)]));
  metric("tessel_verdicts_total", "counter", "Documents judged, by verdict.");
  value("tessel_verdicts_total{verdict=\"protected\"}", static_cast<double>(c.protected_verdicts));
  value("tessel_verdicts_total{verdict=\"clean\"}", static_cast<double>(c.clean_verdicts));
  metric("tessel_request_bytes_total", "counter", "Bytes of the documents received.");
  value("tessel_request_bytes_total", static_cast<double>(c.bytes));
  metric("tessel_request_seconds", "histogram", "Time from a request's body to its answer.");
  uint64_t cumulative = 0;
  for (size_t i = 0; i < kBucketCount; ++i) {
    cumulative += c.buckets[i];
    char le[32];
    std::snprintf(le, sizeof le, "%g", kLatencyBuckets[i]);
    value(std::string("tessel_request_seconds_bucket{le=\"") + le + "\"}", static_cast<double>(cumulative));
  }
  value("tessel_request_seconds_bucket{le=\"+Inf\"}", static_cast<double>(c.latency_count));
  value("tessel_request_seconds_sum", static_cast<double>(c.latency_micros) / 1e6);
  value("tessel_request_seconds_count", static_cast<double>(c.latency_count));
  metric("tessel_in_flight", "gauge", "Requests being judged now.");
  value("tessel_in_flight", InFlight());
  metric("tessel_model_generation", "gauge", "Models loaded since start; the serving one is the last.");
  value("tessel_model_generation", static_cast<double>(c.generation));
  metric("tessel_model_load_seconds", "gauge", "Time the serving model took to load.");
  value("tessel_model_load_seconds", static_cast<double>(c.load_micros) / 1e6);
  metric("tessel_model_reload_failures_total", "counter", "Reloads whose model could not be opened.");
  value("tessel_model_reload_failures_total", static_cast<double>(c.reload_failures));
  return out;
}

void Service::LogEvent(const std::string& event, const std::string& detail) {
  nlohmann::ordered_json line = {{"time", UtcNow()}, {"event", event}, {"detail", detail}};
  WriteLog(line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

void Service::WriteLog(const std::string& line) {
  std::lock_guard<std::mutex> lock(log_mutex_);
  FILE* out = log_ != nullptr ? log_ : stderr;
  std::fprintf(out, "%s\n", line.c_str());
  std::fflush(out);
}

std::string Service::NextId() { return std::to_string(next_id_++); }

}  // namespace tessel::serve
