// The ICAP service: a module of the c-icap server (srv_tessel.so), which
// keeps the protocol, the preview, 204 and the connections; this module only
// judges a body as it arrives and says what becomes of it. In c-icap's
// configuration:
//
//     Service tessel srv_tessel.so
//     tessel.ConfigFile /etc/tessel/icap.conf
//
// A clean body gets 204 (or is sent back unchanged to a client that does not
// allow 204); a protected one is replaced by a 403 page ("action = block") or
// passes marked with X-Tessel-Verdict and X-Tessel-Score headers ("action =
// monitor"). A body over max_body passes unjudged, and so does one that
// could not be judged (busy, timed out): both are logged.
#include <c_icap/c-icap.h>
#include <c_icap/body.h>
#include <c_icap/debug.h>
#include <c_icap/request.h>
#include <c_icap/service.h>
#include <c_icap/simple_api.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>

#include "serve/config.h"
#include "serve/model_watch.h"
#include "serve/service.h"

namespace {

using tessel::serve::Judgement;
using tessel::serve::Outcome;
using tessel::serve::ServeConfig;
using tessel::serve::Service;
using Clock = std::chrono::steady_clock;

char* config_file = nullptr;  // tessel.ConfigFile
std::unique_ptr<Service> gateway;
std::unique_ptr<Service> previous;  // kept over a reconfiguration
uint64_t generation = 0;            // of the ISTag: a new one for every configuration

// In-memory part of a body kept to be sent back; the rest waits in a file
// of c-icap's TmpDir.
constexpr int kCopyInMemory = 1 << 16;

struct Transfer {
  std::chrono::steady_clock::time_point start = Clock::now();
  std::unique_ptr<Service::Stream> stream;  // judging the body as it arrives
  Judgement refused;                        // why there is no stream
  // The body as received, kept only where it may have to go back: a clean
  // one to a client that does not allow 204, a marked one in monitor mode.
  ci_cached_file_t* copy = nullptr;
  std::string replacement;  // the block page, when the body is replaced
  size_t received = 0;
  size_t sent = 0;
  bool too_large = false;
  bool copy_failed = false;  // the copy lost bytes (c-icap's TmpDir is full): the request fails
  bool decided = false;  // from here on, data flows back to the client
  bool eof = false;
  ~Transfer() {
    if (copy != nullptr) ci_cached_file_destroy(copy);
  }
};

// Everything received passes unchanged from now on.
void PassThrough(Transfer* t, ci_request_t* req) {
  t->decided = true;
  ci_req_unlock_data(req);
}

// A piece of the body: judged at once, and kept when it may go back. A body
// over max_body is not judged: it passes as it comes, or gets 204 at its end.
void Receive(Transfer* t, ci_request_t* req, const char* data, size_t length) {
  t->received += length;
  if (!t->too_large && t->received > gateway->config().max_body) {
    t->too_large = true;
    t->stream.reset();
    if (t->copy != nullptr) PassThrough(t, req);
  }
  if (t->stream != nullptr) t->stream->Write(data, length);
  if (t->copy != nullptr && ci_cached_file_write(t->copy, data, static_cast<int>(length), 0) < 0)
    t->copy_failed = true;
}

void Block(Transfer* t, ci_request_t* req, const Judgement& j) {
  t->replacement = gateway->config().block_message + "\n";
  if (ci_req_type(req) == ICAP_RESPMOD) ci_http_response_reset_headers(req);
  else ci_http_response_create(req, 1, 1);
  ci_http_response_add_header(req, "HTTP/1.1 403 Forbidden");
  ci_http_response_add_header(req, "Content-Type: text/plain; charset=utf-8");
  ci_http_response_add_header(req, ("Content-Length: " + std::to_string(t->replacement.size())).c_str());
  ci_http_response_add_header(req, "X-Tessel-Verdict: protected");
  ci_http_response_add_header(req, ("X-Tessel-Score: " + ScoreText(j)).c_str());
  PassThrough(t, req);
}

void Mark(ci_request_t* req, const Judgement& j) {
  std::string verdict = "X-Tessel-Verdict: protected", score = "X-Tessel-Score: " + ScoreText(j);
  if (ci_req_type(req) == ICAP_RESPMOD) {
    ci_http_response_add_header(req, verdict.c_str());
    ci_http_response_add_header(req, score.c_str());
  } else {
    ci_http_request_add_header(req, verdict.c_str());
    ci_http_request_add_header(req, score.c_str());
  }
}

int InitService(ci_service_xdata_t* srv_xdata, struct ci_server_conf*) {
  ci_service_set_preview(srv_xdata, 1024);
  ci_service_enable_204(srv_xdata);
  ci_service_set_transfer_preview(srv_xdata, "*");
  return CI_OK;
}

// The service's own settings are read after it is loaded, so the model is
// opened here, once, before c-icap starts its children.
int PostInitService(ci_service_xdata_t* srv_xdata, struct ci_server_conf*) {
  if (config_file == nullptr) {
    ci_debug_printf(1, "tessel: no tessel.ConfigFile\n");
    return CI_ERROR;
  }
  ServeConfig config = tessel::serve::DefaultConfig();
  config.action = "block";
  std::string error;
  bool read = tessel::serve::LoadConfig(config_file, &config, &error);
  if (read && config.action != "block" && config.action != "monitor") {
    error = std::string(config_file) + ": action must be block or monitor";
    read = false;
  }
  // c-icap reconfigures (SIGHUP) by closing and initialising its services
  // again: the service of the last good configuration, and its model, serve
  // on when the new model cannot be opened.
  std::unique_ptr<Service> fresh;
  if (read) fresh = std::make_unique<Service>(config);
  if (!read || !fresh->Reload(&error)) {
    ci_debug_printf(1, "tessel: %s\n", error.c_str());
    if (previous == nullptr) return CI_ERROR;
    previous->LogEvent("reload_failed", error + "; the previous configuration serves on");
    gateway = std::move(previous);
  } else {
    gateway = std::move(fresh);
    previous.reset();
  }
  ci_service_set_istag(srv_xdata, ("tessel-" + std::to_string(++generation)).c_str());
  return CI_OK;
}

void CloseService() { previous = std::move(gateway); }

// With watch_model, each child of c-icap watches the model directory for
// itself, from its first request on (a thread does not pass through the fork
// that makes a child): a retrained model is then loaded without c-icap's
// reconfiguration, which replaces the children and closes their connections.
std::atomic<pid_t> watching_pid{0};
std::mutex watch_mutex;
std::unique_ptr<tessel::serve::ModelWatch> watch;

void WatchInThisProcess() {
  if (!gateway->config().watch_model || watching_pid == getpid()) return;
  std::lock_guard<std::mutex> lock(watch_mutex);
  if (watching_pid == getpid()) return;
  watching_pid = getpid();
  watch = std::make_unique<tessel::serve::ModelWatch>(*gateway);
  std::string error;
  if (!watch->Start(&error)) gateway->LogEvent("watch_failed", error);
}

void* InitRequestData(ci_request_t*) {
  WatchInThisProcess();
  return new Transfer;
}

void ReleaseRequestData(void* data) { delete static_cast<Transfer*>(data); }

int CheckPreview(char* preview, int length, ci_request_t* req) {
  if (!ci_req_hasbody(req)) return CI_MOD_ALLOW204;
  auto* t = static_cast<Transfer*>(ci_service_data(req));
  ci_off_t declared = ci_http_content_length(req);
  if (declared > 0 && static_cast<size_t>(declared) > gateway->config().max_body && ci_req_allow204(req)) {
    gateway->Record("icap", std::to_string(getpid()) + "-" + gateway->NextId(), static_cast<size_t>(declared),
                    gateway->Refuse(Outcome::kTooLarge, "over max_body: passed unjudged"), t->start);
    return CI_MOD_ALLOW204;
  }
  ci_req_lock_data(req);
  if (!ci_req_allow204(req) || gateway->config().action == "monitor") {
    t->copy = ci_cached_file_new(kCopyInMemory);
    if (t->copy == nullptr) return CI_ERROR;  // an answer of nothing would lose the body
  }
  // A body of a media type a converter is configured for (a PDF, a DOCX)
  // is judged through it.
  const char* type = ci_http_response_get_header(req, "Content-Type");
  if (type == nullptr) type = ci_http_request_get_header(req, "Content-Type");
  const bool converted = type != nullptr && gateway->HasConverter(type);
  t->stream = gateway->Open(converted ? type : "", &t->refused);
  if (length > 0) Receive(t, req, preview, static_cast<size_t>(length));
  return CI_MOD_CONTINUE;
}

int EndOfData(ci_request_t* req) {
  auto* t = static_cast<Transfer*>(ci_service_data(req));
  std::string id = std::to_string(getpid()) + "-" + gateway->NextId();
  if (t->copy_failed) {
    gateway->Record("icap", id, t->received,
                    gateway->Refuse(Outcome::kFailed, "the body could not be kept to send back"), t->start);
    return CI_ERROR;
  }
  if (t->too_large) {
    gateway->Record("icap", id, t->received,
                    gateway->Refuse(Outcome::kTooLarge, "over max_body: passed unjudged"), t->start);
    return t->copy != nullptr ? CI_MOD_DONE : CI_MOD_ALLOW204;
  }
  Judgement j = t->stream != nullptr ? t->stream->Finish() : t->refused;
  t->stream.reset();
  gateway->Record("icap", id, t->received, j, t->start);
  bool flagged = j.outcome == Outcome::kJudged && j.verdict.verdict == 1;
  ci_icap_add_xheader(req, flagged ? "X-Tessel-Verdict: protected"
                                   : j.outcome == Outcome::kJudged ? "X-Tessel-Verdict: clean"
                                                                   : "X-Tessel-Verdict: error");
  if (!flagged) {
    if (ci_req_allow204(req)) return CI_MOD_ALLOW204;
    PassThrough(t, req);
    return CI_MOD_DONE;
  }
  if (gateway->config().action == "monitor") {
    Mark(req, j);
    PassThrough(t, req);
  } else {
    Block(t, req, j);
  }
  return CI_MOD_DONE;
}

int ServiceIo(char* wbuf, int* wlen, char* rbuf, int* rlen, int iseof, ci_request_t* req) {
  auto* t = static_cast<Transfer*>(ci_service_data(req));
  if (rbuf != nullptr && rlen != nullptr && *rlen > 0) {
    // A replaced body is read to its end and dropped.
    if (t->replacement.empty()) Receive(t, req, rbuf, static_cast<size_t>(*rlen));
  }
  if (iseof && !t->eof) {
    t->eof = true;
    if (t->copy != nullptr && ci_cached_file_write(t->copy, "", 0, 1) < 0) t->copy_failed = true;
  }
  if (t->copy_failed) return CI_ERROR;
  if (wbuf != nullptr && wlen != nullptr) {
    if (!t->decided) {
      *wlen = 0;
    } else if (!t->replacement.empty()) {
      size_t n = std::min(t->replacement.size() - t->sent, static_cast<size_t>(*wlen));
      std::memcpy(wbuf, t->replacement.data() + t->sent, n);
      t->sent += n;
      *wlen = n > 0 ? static_cast<int>(n) : CI_EOF;
    } else {
      *wlen = t->copy != nullptr ? ci_cached_file_read(t->copy, wbuf, *wlen) : CI_EOF;
    }
  }
  return CI_OK;
}

struct ci_conf_entry conf_table[] = {
    {"ConfigFile", &config_file, ci_cfg_set_str, "The tessel gateway configuration file"},
    {nullptr, nullptr, nullptr, nullptr}};

}  // namespace

// c-icap finds the service by this name.
extern "C" {
CI_DECLARE_MOD_DATA ci_service_module_t service = {
    "tessel", "tessel: judges bodies against a model of protected text", ICAP_RESPMOD | ICAP_REQMOD,
    InitService, PostInitService, CloseService, InitRequestData, ReleaseRequestData, CheckPreview, EndOfData,
    ServiceIo, conf_table, nullptr};
}
