// The serving core shared by the gateways: one model for every request,
// swapped whole on reload; a bounded number of requests judged at once, each
// with a time limit; one JSON log line per request and counters in
// Prometheus's text format.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serve/config.h"
#include "tessel.h"

namespace tessel::serve {

// What became of one request.
enum class Outcome { kJudged, kBusy, kTimedOut, kFailed, kTooLarge, kBadRequest, kUnauthorized };

struct Judgement {
  Outcome outcome = Outcome::kFailed;
  tessel_verdict_t verdict{};  // when judged (its source_name is not kept: see source)
  std::string source;          // the protected file named, when the model names sources
  std::string error;           // otherwise: why
  bool skipped = false;        // failed as not text (TESSEL_ERROR_BINARY): nothing to judge
  uint64_t generation = 0;     // the model that judged it
  int64_t encoding = TESSEL_ENCODING_MODEL;  // how that model reads texts (see Encoding)
};

// A judgement's graded score as the X-Tessel-Score headers give it: six
// significant digits ("15", "68.1818"), "null" where none was scored.
std::string ScoreText(const Judgement& judgement);

class Service {
 public:
  explicit Service(ServeConfig config);
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Opens the configured model beside the one serving and swaps it in; on
  // failure the old one keeps serving, the failure is logged and counted.
  bool Reload(std::string* error);
  bool HasModel() const;
  // How the model serving now reads texts: TESSEL_ENCODING_AUTO, _UTF8 or
  // _CP1251, the rule its description records; _MODEL when that could not
  // be read.
  int64_t Encoding() const;

  // Judges one document: waits up to queue_timeout for a slot among
  // max_in_flight, then up to judge_timeout for the verdict. The model is
  // held for the whole judgement, so a reload never reaches it.
  // A document with a name (a file name or media type) is read as a document
  // file is: through the converter configured for it, after the binary check.
  // It is judged on a worker of the pool, so that the request can stop
  // waiting at the limit, except plain text (no name) that cannot overrun
  // the limit but at a rate far below the library's: that is judged on the
  // calling thread, as the end of a plain stream is, without the hand-over
  // (the library keeps a judgement's memory warm whatever thread judges).
  Judgement Judge(const char* text, size_t length, const std::string& name = "");
  // A document judged as its body arrives (see Stream); null, with the
  // refusal (no model) in *refused, when it cannot start.
  class Stream;
  std::unique_ptr<Stream> Open(const std::string& name, Judgement* refused);
  // Whether a converter is configured for a document of that file name or
  // media type.
  bool HasConverter(const std::string& name) const;

  // One log line and the counters for a finished request; front is the
  // front end's name, id the request's.
  void Record(const char* front, const std::string& id, size_t size, const Judgement& judgement,
              std::chrono::steady_clock::time_point start);
  // Counts a request refused before judging (too large, malformed, unauthorised).
  Judgement Refuse(Outcome outcome, std::string error);

  // The document's object of the tool's --format=json schema (its "path" is
  // the name given), or an error object.
  std::string VerdictJson(const std::string& name, const Judgement& judgement) const;
  // The counters in Prometheus's text exposition format.
  std::string Metrics() const;
  // Requests being judged now.
  unsigned InFlight() const;
  // Waits until no request is judged, at most timeout; true when none is.
  bool WaitIdle(std::chrono::duration<double> timeout);
  // A structured line on the log, for events other than requests.
  void LogEvent(const std::string& event, const std::string& detail);
  const ServeConfig& config() const { return config_; }
  std::string NextId();

 private:
  struct Counters;
  struct LoadedModel;
  class JudgePool;
  std::shared_ptr<const LoadedModel> Current() const;
  // Judges text on the calling thread into judgement, whose generation and
  // encoding are set.
  // Runs judge on a worker of the pool, which gives back the slot the caller
  // took when it ends, and waits up to judge_timeout for it (timed out
  // otherwise); false when no worker took it (the slot given back).
  bool JudgeOnPool(std::function<int(tessel_verdict_t*, char**)> judge, Judgement* judgement);
  // Whether plain text of this many bytes is judged on the calling thread
  // (see kInlineBytesPerSecond).
  bool JudgedHere(size_t bytes) const;
  // Fills the judgement from a judging call made on this thread since start
  // (timed out when it overran judge_timeout); frees message.
  void TakeHere(int rc, char* message, const tessel_verdict_t& verdict,
                std::chrono::steady_clock::time_point start, Judgement* judgement) const;
  // Waits up to queue_timeout for a slot; false, the judgement a "busy"
  // refusal, when none came.
  bool AcquireSlot(Judgement* judgement);
  void ReleaseSlot();
  void WriteLog(const std::string& line);

  ServeConfig config_;
  std::vector<const char*> converters_;  // config_.converters, ended by null
  std::shared_ptr<const LoadedModel> model_;  // read and swapped with std::atomic_load/store
  std::mutex reload_mutex_;
  mutable std::mutex slots_mutex_;
  std::condition_variable slots_cv_;
  unsigned in_flight_ = 0;
  std::unique_ptr<Counters> counters_;
  std::mutex log_mutex_;
  FILE* log_ = nullptr;
  std::atomic<uint64_t> next_id_{1};
  std::unique_ptr<JudgePool> pool_;  // last: its workers end before the rest goes
};

// One document judged piece by piece as its body arrives, on the request's
// own thread, so that a request holds the judging's window of words rather
// than its body. It holds the model it started on until its end; what is
// left to judge when the body ends takes one of the max_in_flight slots, as
// Judge does. A stream dropped unfinished is abandoned.
class Service::Stream {
 public:
  // plain: a body without a name (text, no converter).
  Stream(Service& service, std::shared_ptr<const LoadedModel> model, tessel_stream_t* stream,
         bool plain);
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  // Judges the next piece; false once the stream has failed (Finish says why).
  bool Write(const char* data, size_t length);
  // Judges what the pieces leave to the end (the last windows, the robust
  // scan, a converter): waits up to queue_timeout for a slot, then up to
  // judge_timeout for the verdict.
  Judgement Finish();

 private:
  Service& service_;
  std::shared_ptr<const LoadedModel> model_;
  tessel_stream_t* stream_;  // null once handed to the judging thread
  std::string error_;        // why a write failed
  bool plain_;
  size_t written_ = 0;       // bytes written
  // Finishes the stream on this thread (see Finish).
  void FinishHere(Judgement* judgement);
};

}  // namespace tessel::serve
