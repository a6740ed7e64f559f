// tessel-serve: judges documents posted over HTTP against one model.
//
//     tessel-serve CONFIG
//
// POST /v1/judge (the body is the document) answers the document's object of
// the tool's --format=json schema; GET /healthz answers "ok" while a model
// serves; GET /metrics the counters in Prometheus's text format. SIGHUP
// reloads the model, SIGTERM and SIGINT drain and stop.
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "serve/config.h"
#include "serve/service.h"

namespace tessel::serve {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char kJsonType[] = "application/json";

bool IsLoopback(const std::string& host) {
  return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

bool SplitListen(const std::string& listen, std::string* host, int* port) {
  size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  *host = listen.substr(0, colon);
  if (host->size() > 2 && host->front() == '[' && host->back() == ']') *host = host->substr(1, host->size() - 2);
  char* end = nullptr;
  long n = std::strtol(listen.c_str() + colon + 1, &end, 10);
  if (*end != '\0' || end == listen.c_str() + colon + 1 || n < 0 || n > 65535) return false;
  *port = static_cast<int>(n);
  return true;
}

bool ReadToken(const std::string& path, std::string* token, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": the token file cannot be read";
    return false;
  }
  std::getline(in, *token);
  while (!token->empty() && (token->back() == '\r' || token->back() == ' ')) token->pop_back();
  if (token->size() < 16) {
    *error = path + ": the token must be at least 16 characters";
    return false;
  }
  return true;
}

// Compares in time independent of where the strings differ.
bool SameSecret(const std::string& a, const std::string& b) {
  unsigned char diff = a.size() == b.size() ? 0 : 1;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i % (b.size() + 1)]);
  return diff == 0;
}

std::string ErrorJson(const std::string& message) {
  std::string escaped;
  for (char c : message) {
    if (c == '"' || c == '\\') escaped += '\\';
    if (static_cast<unsigned char>(c) < 0x20) continue;
    escaped += c;
  }
  return "{\"error\":\"" + escaped + "\"}\n";
}

int StatusOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::kJudged: return 200;
    case Outcome::kBusy: return 503;
    case Outcome::kTimedOut: return 503;
    case Outcome::kFailed: return 500;
    case Outcome::kTooLarge: return 413;
    case Outcome::kBadRequest: return 400;
    case Outcome::kUnauthorized: return 401;
  }
  return 500;
}

class HttpFront {
 public:
  HttpFront(Service& service, std::string token) : service_(service), token_(std::move(token)) {}

  void Install(httplib::Server& server) {
    const ServeConfig& config = service_.config();
    server.set_read_timeout(std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::duration<double>(config.read_timeout)));
    server.set_write_timeout(std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::duration<double>(config.read_timeout)));
    server.set_keep_alive_timeout(2);
    // A worker serves one connection for as long as it is kept alive, so
    // there are workers for more connections than documents judged at once;
    // answers go out without waiting for Nagle's delay.
    size_t workers = std::min<size_t>(1024, std::max<size_t>(16, 4 * size_t{config.max_in_flight}));
    server.new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    server.set_tcp_nodelay(true);
    server.set_payload_max_length(config.max_body);
    server.Get("/healthz", [this](const httplib::Request&, httplib::Response& res) {
      bool ok = service_.HasModel();
      res.status = ok ? 200 : 503;
      res.set_content(ok ? "ok\n" : "no model\n", "text/plain");
    });
    server.Get("/metrics", [this](const httplib::Request& req, httplib::Response& res) {
      if (!Authorized(req, res)) return;
      res.set_content(service_.Metrics(), "text/plain; version=0.0.4");
    });
    server.Post("/v1/judge", [this](const httplib::Request& req, httplib::Response& res,
                                    const httplib::ContentReader& reader) { Judge(req, res, reader); });
    // Requests the library refuses before any handler (a malformed request
    // line or header, an unknown path) get a JSON answer too.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [this](const httplib::Request&, httplib::Response& res) {
      if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
      if (res.status == 400 || res.status == 413) {
        Outcome outcome = res.status == 400 ? Outcome::kBadRequest : Outcome::kTooLarge;
        service_.Record("http", service_.NextId(), 0, service_.Refuse(outcome, "malformed request"),
                        Clock::now());
      }
      res.set_content(ErrorJson(res.status == 404 ? "not found" : res.status == 413 ? "payload too large" : "bad request"), kJsonType);
      return httplib::Server::HandlerResponse::Handled;
    }));
  }

 private:
  bool Authorized(const httplib::Request& req, httplib::Response& res) {
    if (token_.empty()) return true;
    std::string header = req.get_header_value("Authorization");
    const std::string scheme = "Bearer ";
    if (header.rfind(scheme, 0) == 0 && SameSecret(header.substr(scheme.size()), token_)) return true;
    res.status = 401;
    res.set_header("WWW-Authenticate", "Bearer");
    res.set_content(ErrorJson("unauthorized"), kJsonType);
    return false;
  }

  void Judge(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
    auto start = Clock::now();
    std::string id = req.get_header_value("X-Request-Id");
    if (id.empty() || id.size() > 128) id = service_.NextId();
    std::string name = req.has_param("name") ? req.get_param_value("name") : id;
    const ServeConfig& config = service_.config();
    auto deadline = start + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(config.read_timeout));
    Judgement judgement;
    std::string body;
    if (!Authorized(req, res)) {
      service_.Record("http", id, 0, service_.Refuse(Outcome::kUnauthorized, "unauthorized"), start);
      return;
    }
    bool too_large = false, too_slow = false;
    bool read = reader([&](const char* data, size_t length) {
      if (body.size() + length > config.max_body) too_large = true;
      if (Clock::now() > deadline) too_slow = true;
      if (too_large || too_slow) return false;
      body.append(data, length);
      return true;
    });
    if (too_large || res.status == 413) {
      judgement = service_.Refuse(Outcome::kTooLarge,
                                  "the body is over the limit of " + std::to_string(config.max_body) + " bytes");
    } else if (too_slow) {
      judgement = service_.Refuse(Outcome::kBadRequest, "the body took longer than the read timeout");
    } else if (!read) {
      judgement = service_.Refuse(Outcome::kBadRequest, "the body could not be read");
    } else {
      judgement = service_.Judge(body.data(), body.size());
    }
    res.status = too_slow ? 408 : StatusOf(judgement.outcome);
    if (judgement.outcome == Outcome::kBusy) res.set_header("Retry-After", "1");
    if (judgement.outcome == Outcome::kJudged || judgement.outcome == Outcome::kFailed)
      res.set_content(service_.VerdictJson(name, judgement) + "\n", kJsonType);
    else
      res.set_content(ErrorJson(judgement.error), kJsonType);
    service_.Record("http", id, body.size(), judgement, start);
  }

  Service& service_;
  std::string token_;
};

// Waits for SIGHUP (reload) and SIGTERM or SIGINT (drain): the signals are
// blocked in every thread and taken here one at a time.
void HandleSignals(Service& service, httplib::Server& server, const sigset_t& signals) {
  for (;;) {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) continue;
    if (signal == SIGHUP) {
      std::string error;
      service.Reload(&error);
      continue;
    }
    service.LogEvent("draining", "stopped accepting; " + std::to_string(service.InFlight()) + " in flight");
    double limit = service.config().drain_timeout;
    std::thread([&service, limit] {
      std::this_thread::sleep_for(std::chrono::duration<double>(limit));
      service.LogEvent("drain_timeout", "requests still in flight after the drain timeout");
      _exit(1);
    }).detach();
    server.stop();
    return;
  }
}

int Run(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fprintf(argc == 2 ? stdout : stderr, "usage: tessel-serve CONFIG\n");
    return argc == 2 ? 0 : 2;
  }
  ServeConfig config = DefaultConfig();
  std::string error, host, token;
  int port = 0;
  if (!LoadConfig(argv[1], &config, &error)) {
    std::fprintf(stderr, "tessel-serve: %s\n", error.c_str());
    return 2;
  }
  if (!SplitListen(config.listen, &host, &port)) {
    std::fprintf(stderr, "tessel-serve: listen: \"%s\" is not HOST:PORT\n", config.listen.c_str());
    return 2;
  }
  if (!config.token_file.empty() && !ReadToken(config.token_file, &token, &error)) {
    std::fprintf(stderr, "tessel-serve: %s\n", error.c_str());
    return 2;
  }
  if (token.empty() && !IsLoopback(host)) {
    std::fprintf(stderr, "tessel-serve: listening on %s needs a token_file (bearer authentication)\n",
                 host.c_str());
    return 2;
  }

  // Blocked before any thread starts, so that every thread inherits the mask
  // and only HandleSignals takes them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGHUP);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  Service service(config);
  if (!service.Reload(&error)) {
    std::fprintf(stderr, "tessel-serve: %s\n", error.c_str());
    return 1;
  }
  httplib::Server server;
  HttpFront front(service, token);
  front.Install(server);
  if (port == 0) {
    port = server.bind_to_any_port(host.c_str());
  } else if (!server.bind_to_port(host.c_str(), port)) {
    port = -1;
  }
  if (port < 0) {
    std::fprintf(stderr, "tessel-serve: cannot listen on %s\n", config.listen.c_str());
    return 1;
  }
  if (!config.port_file.empty()) {
    std::ofstream(config.port_file + ".tmp") << port << "\n";
    std::rename((config.port_file + ".tmp").c_str(), config.port_file.c_str());
  }
  service.LogEvent("listening", host + ":" + std::to_string(port));
  std::thread signal_thread(HandleSignals, std::ref(service), std::ref(server), std::cref(signals));
  server.listen_after_bind();
  kill(getpid(), SIGTERM);  // ends the signal thread if the server stopped by itself
  signal_thread.join();
  // Requests whose client stopped waiting may still be judged.
  service.WaitIdle(std::chrono::duration<double>(config.drain_timeout));
  service.LogEvent("stopped", "drained");
  std::fflush(nullptr);
  _exit(0);
}

}  // namespace
}  // namespace tessel::serve

int main(int argc, char** argv) { return tessel::serve::Run(argc, argv); }
