// tessel-serve: judges documents posted over HTTP against one model.
//
//     tessel-serve CONFIG
//
// POST /v1/judge (the body is the document) answers the document's object of
// the tool's --format=json schema; GET /healthz answers "ok" while a model
// serves; GET /metrics the counters in Prometheus's text format. SIGHUP
// reloads the model, SIGTERM and SIGINT drain and stop.
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "serve/config.h"
#include "serve/model_watch.h"
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

constexpr char kUnixPrefix[] = "unix:";

// The library binds TCP addresses only, but serves whatever listening stream
// socket it holds: a Unix socket is made here and handed to it.
class SocketServer : public httplib::Server {
 public:
  void Adopt(int fd) { svr_sock_ = fd; }
  // The library listens with a backlog of 5 connections: more clients
  // connecting at once than that were reset. Listening again widens it.
  void WidenBacklog() {
    if (svr_sock_ != INVALID_SOCKET) ::listen(svr_sock_, SOMAXCONN);
  }
  // Stops accepting and lets the connections already accepted be served.
  // (The library's stop() marks the server stopped first, and its workers
  // then close the accepted connections still waiting for one, unanswered.)
  // Shutting the listening socket down ends the accept loop with an error,
  // after which the library closes the socket and its workers finish what
  // they hold.
  // Connections the kernel completed before the stop wait in its queue, and
  // would be reset with the socket: the backlog is cut to nothing first (a
  // client arriving now is refused once the socket is shut), and the accept
  // loop takes what is queued, for at most a second, so that it is answered.
  void StopAccepting() {
    socket_t fd = svr_sock_;
    if (fd == INVALID_SOCKET) return;
    ::listen(fd, 0);
    for (int wait = 0; wait < 100; ++wait) {
      pollfd queued{fd, POLLIN, 0};
      if (::poll(&queued, 1, 0) <= 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::shutdown(fd, SHUT_RDWR);
  }
};

// A listening Unix socket at path, created with the given permissions (through
// the umask, so that it never exists with looser ones). A socket file left by
// a server that is gone is replaced; anything else at path (a live socket, a
// file, a symbolic link) is refused, never followed or removed. -1 and a
// message on failure; *inode is the new socket file's.
int ListenUnix(const std::string& path, unsigned mode, ino_t* inode, std::string* error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    *error = "listen: the socket path must have 1 to " + std::to_string(sizeof address.sun_path - 1) + " bytes";
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  auto fail = [&](const std::string& what, int fd) {
    *error = path + ": " + what;
    if (fd >= 0) close(fd);
    return -1;
  };
  struct stat status{};
  if (lstat(path.c_str(), &status) == 0) {
    if (!S_ISSOCK(status.st_mode)) return fail("exists and is not a socket", -1);
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return fail(std::strerror(errno), -1);
    if (connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
      return fail("another server listens there", probe);
    if (errno != ECONNREFUSED) return fail(std::strerror(errno), probe);
    close(probe);
    if (unlink(path.c_str()) != 0 && errno != ENOENT) return fail(std::strerror(errno), -1);
  }
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail(std::strerror(errno), -1);
  mode_t old_mask = umask(~mode & 0777);
  int bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  int bind_errno = errno;
  umask(old_mask);
  if (bound != 0) return fail(std::strerror(bind_errno), fd);
  if (listen(fd, SOMAXCONN) != 0 || lstat(path.c_str(), &status) != 0) return fail(std::strerror(errno), fd);
  *inode = status.st_ino;
  return fd;
}

// Removes the socket file made by ListenUnix, if it is still that one.
void RemoveUnixSocket(const std::string& path, ino_t inode) {
  struct stat status{};
  if (lstat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode) && status.st_ino == inode)
    unlink(path.c_str());
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
    // The library's default closes a connection after its fifth request: a
    // client that keeps its connection would connect again every fifth
    // document.
    server.set_keep_alive_max_count(1000);
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
    if (!Authorized(req, res)) {
      service_.Record("http", id, 0, service_.Refuse(Outcome::kUnauthorized, "unauthorized"), start);
      return;
    }
    if (req.is_multipart_form_data()) {
      JudgeForm(res, reader, id, start);
      return;
    }
    std::string name = req.has_param("name") ? req.get_param_value("name") : id;
    // The body is judged as it arrives; one without a stream (no model) is
    // still read to its end, so that the connection stays usable.
    Judgement judgement;
    std::unique_ptr<Service::Stream> stream = service_.Open("", &judgement);
    size_t size = 0;
    BodyLimits limits(service_.config(), start);
    bool read = reader([&](const char* data, size_t length) {
      if (!limits.Take(length)) return false;
      size += length;
      if (stream != nullptr) stream->Write(data, length);
      return true;
    });
    if (!limits.Passed(read, res.status))
      judgement = limits.Refusal(service_, read, res.status, "the body could not be read");
    else if (stream != nullptr)
      judgement = stream->Finish();
    res.status = limits.too_slow ? 408 : StatusOf(judgement.outcome);
    if (judgement.outcome == Outcome::kBusy) res.set_header("Retry-After", "1");
    if (judgement.outcome == Outcome::kJudged || judgement.outcome == Outcome::kFailed)
      res.set_content(service_.VerdictJson(name, judgement) + "\n", kJsonType);
    else
      res.set_content(ErrorJson(judgement.error), kJsonType);
    service_.Record("http", id, size, judgement, start);
  }

  // A multipart/form-data body: each part with a file name is judged as one
  // document, as it arrives (a part at a time), under the limits of one body
  // for all of them together. The answer is an array of the parts' records
  // in their order, each named by its file name; 200 when every part was
  // judged, else the status of the first part that was not. Each part has a
  // log line, its id the request's with "/N" (N from 1), written once the
  // whole body has been read.
  void JudgeForm(httplib::Response& res, const httplib::ContentReader& reader, const std::string& id,
                 Clock::time_point start) {
    struct Part {
      std::string name;
      size_t size;
      Clock::time_point start;
      Judgement judgement;
    };
    std::vector<Part> parts;
    std::unique_ptr<Service::Stream> stream;  // the file part arriving
    auto finish = [&] {
      if (stream != nullptr) parts.back().judgement = stream->Finish();
      stream.reset();
    };
    size_t size = 0;
    bool any_part = false, file_part = false;
    BodyLimits limits(service_.config(), start);
    bool read = reader(
        [&](const httplib::MultipartFormData& header) {
          finish();
          any_part = true;
          file_part = !header.filename.empty();
          if (file_part) {
            parts.push_back({header.filename, 0, Clock::now(), Judgement{}});
            stream = service_.Open("", &parts.back().judgement);
          }
          return true;
        },
        [&](const char* data, size_t length) {
          if (!limits.Take(length) || !any_part) return false;
          size += length;
          if (file_part) parts.back().size += length;
          if (stream != nullptr) stream->Write(data, length);
          return true;
        });
    if (limits.Passed(read, res.status)) finish();
    stream.reset();  // a body refused: the part arriving is abandoned
    Judgement refusal = limits.Refusal(service_, read, res.status, "the multipart body is malformed or incomplete");
    if (limits.Passed(read, res.status) && parts.empty())
      refusal = service_.Refuse(Outcome::kBadRequest, "the form holds no file part");
    if (!limits.Passed(read, res.status) || parts.empty()) {
      res.status = limits.too_slow ? 408 : StatusOf(refusal.outcome);
      res.set_content(ErrorJson(refusal.error), kJsonType);
      service_.Record("http", id, size, refusal, start);
      return;
    }
    std::string answer = "[";
    int status = 200;
    size_t number = 0;
    for (const Part& part : parts) {
      const Judgement& judgement = part.judgement;
      if (status == 200 && judgement.outcome != Outcome::kJudged) {
        status = StatusOf(judgement.outcome);
        if (judgement.outcome == Outcome::kBusy) res.set_header("Retry-After", "1");
      }
      answer += (number == 0 ? "" : ",") + service_.VerdictJson(part.name, judgement);
      service_.Record("http", id + "/" + std::to_string(++number), part.size, judgement, part.start);
    }
    res.status = status;
    res.set_content(answer + "]\n", kJsonType);
  }

  // The limits of one request's body as it arrives: max_body bytes, within
  // read_timeout of the request's start.
  struct BodyLimits {
    BodyLimits(const ServeConfig& config, Clock::time_point start)
        : max_body(config.max_body),
          deadline(start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(config.read_timeout))) {}
    // False, ending the read, when the next length bytes break a limit.
    bool Take(size_t length) {
      if (taken + length > max_body) too_large = true;
      if (Clock::now() > deadline) too_slow = true;
      taken += length;
      return !too_large && !too_slow;
    }
    bool Passed(bool read, int status) const { return read && !too_large && !too_slow && status != 413; }
    // Why a body that did not pass is refused (unread is the message for a
    // body that ended early or could not be parsed).
    Judgement Refusal(Service& service, bool read, int status, const std::string& unread) const {
      if (too_large || status == 413)
        return service.Refuse(Outcome::kTooLarge,
                              "the body is over the limit of " + std::to_string(max_body) + " bytes");
      if (too_slow) return service.Refuse(Outcome::kBadRequest, "the body took longer than the read timeout");
      if (!read) return service.Refuse(Outcome::kBadRequest, unread);
      return Judgement{};
    }
    size_t max_body;
    Clock::time_point deadline;
    size_t taken = 0;
    bool too_large = false, too_slow = false;
  };

  Service& service_;
  std::string token_;
};

// Waits for SIGHUP (reload) and SIGTERM or SIGINT (drain): the signals are
// blocked in every thread and taken here one at a time.
void HandleSignals(Service& service, SocketServer& server, const sigset_t& signals) {
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
    server.StopAccepting();
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
  bool unix_socket = config.listen.rfind(kUnixPrefix, 0) == 0;
  std::string socket_path = unix_socket ? config.listen.substr(std::strlen(kUnixPrefix)) : "";
  if (!unix_socket && !SplitListen(config.listen, &host, &port)) {
    std::fprintf(stderr, "tessel-serve: listen: \"%s\" is not HOST:PORT or unix:PATH\n", config.listen.c_str());
    return 2;
  }
  if (!config.token_file.empty() && !ReadToken(config.token_file, &token, &error)) {
    std::fprintf(stderr, "tessel-serve: %s\n", error.c_str());
    return 2;
  }
  // A Unix socket's permissions say who may connect; an address off
  // loopback needs the token.
  if (token.empty() && !unix_socket && !IsLoopback(host)) {
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
  ModelWatch watch(service);
  if (config.watch_model && !watch.Start(&error)) {
    std::fprintf(stderr, "tessel-serve: %s\n", error.c_str());
    return 1;
  }
  SocketServer server;
  HttpFront front(service, token);
  front.Install(server);
  ino_t socket_inode = 0;
  if (unix_socket) {
    int fd = ListenUnix(socket_path, config.socket_mode, &socket_inode, &error);
    if (fd < 0) {
      std::fprintf(stderr, "tessel-serve: cannot listen on %s: %s\n", config.listen.c_str(), error.c_str());
      return 1;
    }
    server.Adopt(fd);
  } else if (port == 0) {
    port = server.bind_to_any_port(host.c_str());
  } else if (!server.bind_to_port(host.c_str(), port)) {
    port = -1;
  }
  if (port < 0) {
    std::fprintf(stderr, "tessel-serve: cannot listen on %s\n", config.listen.c_str());
    return 1;
  }
  server.WidenBacklog();
  if (!unix_socket && !config.port_file.empty()) {
    std::ofstream(config.port_file + ".tmp") << port << "\n";
    std::rename((config.port_file + ".tmp").c_str(), config.port_file.c_str());
  }
  service.LogEvent("listening", unix_socket ? config.listen : host + ":" + std::to_string(port));
  std::thread signal_thread(HandleSignals, std::ref(service), std::ref(server), std::cref(signals));
  server.listen_after_bind();
  kill(getpid(), SIGTERM);  // ends the signal thread if the server stopped by itself
  signal_thread.join();
  // Requests whose client stopped waiting may still be judged.
  service.WaitIdle(std::chrono::duration<double>(config.drain_timeout));
  if (unix_socket) RemoveUnixSocket(socket_path, socket_inode);
  service.LogEvent("stopped", "drained");
  std::fflush(nullptr);
  _exit(0);
}

}  // namespace
}  // namespace tessel::serve

int main(int argc, char** argv) { return tessel::serve::Run(argc, argv); }
