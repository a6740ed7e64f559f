// Sends documents to a gateway from concurrent clients and reports, as
// gateways_load.py does, at a fraction of its processor time: the client
// shares the processors with the gateway it measures.
//
//     gateways_load FRONT PORT CLIENTS SERVER_PID DOCUMENT...
//
// FRONT is http (POST /v1/judge to tessel-serve), icap (RESPMOD to the
// tessel service of c-icap, the body in an HTTP response, 204 allowed, no
// preview) or milter (a message with the document as its text/plain body to
// tessel-milter, over the milter protocol as an MTA speaks it). Each client
// is a thread with one connection, and sends the next document not yet
// taken; the documents are read once, before the clock starts. Prints the
// requests, the failures (no answer, or an answer but a judged one: HTTP
// 200, ICAP 200 or 204 with a verdict, a milter's final reply), the
// throughput, the latency percentiles and the server's resident memory
// (with its child processes), sampled once a second, after a quarter, a
// half and all of the run.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cerrno>
#include <climits>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string front;
int port = 0;

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One connection to the gateway, with buffered reads.
class Socket {
 public:
  Socket() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw Failure(std::string("connect: ") + std::strerror(errno));
    // Commands that get no reply (a milter's macros and abort) are followed
    // by one that does: without TCP_NODELAY, Nagle's algorithm would hold
    // the second until the first's delayed acknowledgement.
    int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval timeout{60, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  }
  ~Socket() { close(fd_); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Sends the pieces in one call where the kernel takes them.
  void Send(std::vector<iovec> pieces) {
    size_t at = 0;
    while (at < pieces.size()) {
      ssize_t sent = writev(fd_, pieces.data() + at, static_cast<int>(std::min<size_t>(pieces.size() - at, IOV_MAX)));
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) throw Failure(std::string("send: ") + std::strerror(errno));
      for (size_t left = static_cast<size_t>(sent); left > 0 || (at < pieces.size() && pieces[at].iov_len == 0);) {
        size_t n = std::min(left, pieces[at].iov_len);
        pieces[at].iov_base = static_cast<char*>(pieces[at].iov_base) + n;
        pieces[at].iov_len -= n;
        left -= n;
        if (pieces[at].iov_len == 0) ++at;
        if (at == pieces.size()) break;
      }
    }
  }
  void Send(const std::string& data) { Send({{const_cast<char*>(data.data()), data.size()}}); }

  std::string Until(const char* marker) {
    const size_t length = std::strlen(marker);
    size_t found;
    while ((found = buffer_.find(marker, start_, length)) == std::string::npos) Fill();
    return Take(found + length - start_);
  }
  std::string Exactly(size_t count) {
    while (buffer_.size() - start_ < count) Fill();
    return Take(count);
  }

 private:
  void Fill() {
    if (start_ > 0) {
      buffer_.erase(0, start_);
      start_ = 0;
    }
    char data[65536];
    ssize_t got = recv(fd_, data, sizeof data, 0);
    if (got < 0 && errno == EINTR) return;
    if (got == 0) throw Failure("connection closed");
    if (got < 0) throw Failure(std::string("receive: ") + std::strerror(errno));
    buffer_.append(data, static_cast<size_t>(got));
  }
  std::string Take(size_t count) {
    std::string data = buffer_.substr(start_, count);
    start_ += count;
    return data;
  }

  int fd_ = -1;
  std::string buffer_;
  size_t start_ = 0;
};

// The value of a header in a head of "Name: value" lines, names in any case.
std::string Header(const std::string& head, const std::string& name) {
  std::istringstream lines(head);
  std::string line;
  while (std::getline(lines, line)) {
    size_t colon = line.find(':');
    if (colon != name.size() || strncasecmp(line.c_str(), name.c_str(), colon) != 0) continue;
    size_t begin = line.find_first_not_of(' ', colon + 1);
    size_t end = line.find_last_not_of("\r ");
    return begin == std::string::npos || end < begin ? "" : line.substr(begin, end - begin + 1);
  }
  return "";
}

std::string StatusOf(const std::string& head) {
  size_t space = head.find(' ');
  return space == std::string::npos ? "" : head.substr(space + 1, head.find(' ', space + 1) - space - 1);
}

class Client {
 public:
  virtual ~Client() = default;
  // "ok", or what was wrong with the answer; throws Failure when there was none.
  virtual std::string Send(const std::string& body, const std::string& name) = 0;
  // Whether the server ended the connection after its answer.
  bool closed() const { return closed_; }

 protected:
  bool closed_ = false;
};

class HttpClient : public Client {
 public:
  std::string Send(const std::string& body, const std::string& name) override {
    std::string head = "POST /v1/judge HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                       "\r\nX-Request-Id: " + name + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    socket_.Send({{head.data(), head.size()}, {const_cast<char*>(body.data()), body.size()}});
    std::string answer = socket_.Until("\r\n\r\n");
    socket_.Exactly(std::stoul("0" + Header(answer, "Content-Length")));
    std::string status = StatusOf(answer);
    closed_ = strcasecmp(Header(answer, "Connection").c_str(), "close") == 0;
    return status == "200" ? "ok" : "HTTP " + status;
  }

 private:
  Socket socket_;
};

class IcapClient : public Client {
 public:
  std::string Send(const std::string& body, const std::string& name) override {
    std::string http_head =
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    std::string head = "RESPMOD icap://127.0.0.1:" + std::to_string(port) +
                       "/tessel ICAP/1.0\r\nHost: 127.0.0.1\r\nAllow: 204\r\nX-Client-Id: " + name +
                       "\r\nEncapsulated: res-hdr=0, res-body=" + std::to_string(http_head.size()) + "\r\n\r\n" +
                       http_head;
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", body.size());
    head += size;
    static const char kEnd[] = "\r\n0\r\n\r\n";
    socket_.Send({{head.data(), head.size()},
                  {const_cast<char*>(body.data()), body.size()},
                  {const_cast<char*>(kEnd), sizeof kEnd - 1}});
    std::string answer = socket_.Until("\r\n\r\n");
    std::string status = StatusOf(answer);
    std::string encapsulated = Header(answer, "Encapsulated");
    std::map<std::string, size_t> parts;
    std::istringstream items(encapsulated.empty() ? "null-body=0" : encapsulated);
    for (std::string item; std::getline(items, item, ',');) {
      size_t equals = item.find('=');
      if (equals == std::string::npos) throw Failure("bad Encapsulated: " + encapsulated);
      size_t begin = item.find_first_not_of(' ');
      parts[item.substr(begin, equals - begin)] = std::stoul(item.substr(equals + 1));
    }
    auto body_at = parts.count("res-body") ? parts.find("res-body") : parts.find("req-body");
    if (body_at != parts.end()) {
      socket_.Exactly(body_at->second);
      for (;;) {
        size_t chunk = std::stoul(socket_.Until("\r\n"), nullptr, 16);
        socket_.Exactly(chunk + 2);
        if (chunk == 0) break;
      }
    } else if (parts.count("null-body")) {
      socket_.Exactly(parts["null-body"]);
    }
    if (status != "200" && status != "204") return "ICAP " + status;
    std::string verdict = Header(answer, "X-Tessel-Verdict");
    return verdict == "clean" || verdict == "protected" ? "ok" : "ICAP " + status + " verdict '" + verdict + "'";
  }

 private:
  Socket socket_;
};

// The milter protocol (version 6): commands and replies are a 4-byte length,
// a command letter and its data. The MTA offers, as Postfix does, to skip
// the steps the milter has no use for and to go without the replies it
// does not need; commands that get no reply are sent together with the next
// one that does.
class MilterClient : public Client {
 public:
  MilterClient() {
    uint32_t offered = kSteps;
    for (const auto& entry : kNoReply) offered |= entry.second;
    Command('O', Pack({6, 0x1FF, offered}));
    auto [letter, data] = Reply();
    if (letter != 'O' || data.size() < 12) throw Failure("no negotiation");
    skips_ = Unpack(data, 8) & offered;
    Step(0x1, 'C', std::string("localhost\0" "4", 11) + Pack16(25) + std::string("127.0.0.1\0", 10));
    Step(0x2, 'H', std::string("localhost\0", 10));
  }

  std::string Send(const std::string& body, const std::string& name) override {
    Command('D', std::string("Mi\0", 3) + name + std::string(1, '\0'), false);
    const std::pair<const char*, std::string> headers[] = {
        {"From", "a@example.test"}, {"To", "b@example.test"}, {"Subject", name},
        {"MIME-Version", "1.0"}, {"Content-Type", "text/plain; charset=windows-1251"}};
    std::string final = Step(0x4, 'M', std::string("<a@example.test>\0", 17));
    if (final.empty()) final = Step(0x8, 'R', std::string("<b@example.test>\0", 17));
    for (const auto& [key, value] : headers) {
      if (!final.empty()) break;
      final = Step(0x20, 'L', std::string(key) + '\0' + value + '\0');
    }
    if (final.empty()) final = Step(0x40, 'N', "");
    for (size_t at = 0; final.empty() && at < body.size(); at += 65535)
      final = Step(0x10, 'B', body.substr(at, 65535));
    if (final.empty()) {
      Command('E', "");
      for (;;) {
        char letter = Reply().first;
        if (FinalName(letter) != nullptr) {
          final = FinalName(letter);
          break;
        }
      }
    }
    Command('A', "", false);  // the next message on the same connection
    return final == "accept" || final == "continue" || final == "reject" || final == "discard" ? "ok"
                                                                                                : "milter " + final;
  }

 private:
  static constexpr uint32_t kSteps = 0x7F | 0x100 | 0x200;  // the steps an MTA lets a milter skip
  static constexpr std::pair<char, uint32_t> kNoReply[] = {{'C', 0x1000}, {'H', 0x2000},  {'M', 0x4000},
                                                           {'R', 0x8000}, {'L', 0x80},    {'N', 0x40000},
                                                           {'B', 0x80000}};

  static const char* FinalName(char letter) {
    switch (letter) {
      case 'a': return "accept";
      case 'c': return "continue";
      case 'r': return "reject";
      case 't': return "tempfail";
      case 'd': return "discard";
      case 'y': return "replycode";
    }
    return nullptr;
  }
  static std::string Pack(std::initializer_list<uint32_t> values) {
    std::string out;
    for (uint32_t value : values) {
      uint32_t big = htonl(value);
      out.append(reinterpret_cast<const char*>(&big), 4);
    }
    return out;
  }
  static std::string Pack16(uint16_t value) {
    uint16_t big = htons(value);
    return std::string(reinterpret_cast<const char*>(&big), 2);
  }
  static uint32_t Unpack(const std::string& data, size_t at) {
    uint32_t big;
    std::memcpy(&big, data.data() + at, 4);
    return ntohl(big);
  }

  void Command(char letter, const std::string& data, bool flush = true) {
    pending_ += Pack({static_cast<uint32_t>(data.size() + 1)});
    pending_ += letter;
    pending_ += data;
    if (flush) {
      socket_.Send(pending_);
      pending_.clear();
    }
  }
  std::pair<char, std::string> Reply() {
    uint32_t length = Unpack(socket_.Exactly(4), 0);
    if (length == 0) throw Failure("empty milter reply");
    std::string data = socket_.Exactly(length);
    return {data[0], data.substr(1)};
  }
  // Sends a step the milter did not skip; its final reply, or "".
  std::string Step(uint32_t skip_flag, char letter, const std::string& data) {
    if (skips_ & skip_flag) return "";
    uint32_t no_reply = 0;
    for (const auto& entry : kNoReply)
      if (entry.first == letter) no_reply = entry.second;
    if (skips_ & no_reply) {
      Command(letter, data, false);
      return "";
    }
    Command(letter, data);
    char reply = Reply().first;
    while (reply == 'p') reply = Reply().first;  // progress
    if (reply == 'c') return "";
    const char* name = FinalName(reply);
    return name != nullptr ? name : std::string("reply ") + reply;
  }

  Socket socket_;
  std::string pending_;
  uint32_t skips_ = 0;
};

Client* NewClient() {
  if (front == "http") return new HttpClient;
  if (front == "icap") return new IcapClient;
  return new MilterClient;
}

// The process and its descendants (c-icap judges in its children).
std::vector<std::string> Processes(const std::string& root) {
  std::vector<std::string> found, queue{root};
  while (!queue.empty()) {
    std::string current = queue.back();
    queue.pop_back();
    found.push_back(current);
    const std::string tasks = "/proc/" + current + "/task";
    DIR* directory = opendir(tasks.c_str());
    if (directory == nullptr) continue;
    while (const dirent* task = readdir(directory)) {
      if (task->d_name[0] == '.') continue;
      std::ifstream children(tasks + "/" + task->d_name + "/children");
      for (std::string child; children >> child;) queue.push_back(child);
    }
    closedir(directory);
  }
  return found;
}

long RssKib(const std::string& pid) {
  long total = 0;
  for (const std::string& process : Processes(pid)) {
    std::ifstream status("/proc/" + process + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmRSS:", 0) == 0) total += std::stol(line.substr(6));
  }
  return total;
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: gateways_load FRONT PORT CLIENTS SERVER_PID DOCUMENT...\n");
    return 2;
  }
  front = argv[1];
  if (front != "http" && front != "icap" && front != "milter") {
    std::fprintf(stderr, "gateways_load: FRONT is http, icap or milter\n");
    return 2;
  }
  port = std::atoi(argv[2]);
  const int clients = std::atoi(argv[3]);
  const std::string pid = argv[4];
  const std::vector<std::string> documents(argv + 5, argv + argc);
  std::map<std::string, std::string> contents;
  double megabytes = 0;
  for (const std::string& path : documents) {
    auto [at, fresh] = contents.emplace(path, "");
    if (fresh) {
      std::ifstream in(path, std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      at->second = bytes.str();
    }
    megabytes += static_cast<double>(at->second.size()) / 1e6;
  }

  std::atomic<size_t> next{0};
  std::mutex lock;
  std::vector<double> latencies;
  std::vector<std::pair<std::string, std::string>> failures;
  std::vector<Clock::time_point> finished;
  auto work = [&] {
    std::vector<double> mine;
    std::vector<std::pair<std::string, std::string>> failed;
    Client* connection = nullptr;
    for (;;) {
      const size_t number = next++;
      if (number >= documents.size()) break;
      const std::string& path = documents[number];
      const auto start = Clock::now();
      std::string outcome;
      try {
        if (connection == nullptr) connection = NewClient();
        outcome = connection->Send(contents[path], std::to_string(number) + "-" + BaseName(path));
      } catch (const std::exception& error) {
        outcome = error.what();
        delete connection;
        connection = nullptr;
      }
      if (connection != nullptr && connection->closed()) {
        delete connection;
        connection = nullptr;
      }
      mine.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      if (outcome != "ok") failed.emplace_back(path, outcome);
    }
    delete connection;
    std::lock_guard<std::mutex> hold(lock);
    latencies.insert(latencies.end(), mine.begin(), mine.end());
    failures.insert(failures.end(), failed.begin(), failed.end());
    finished.push_back(Clock::now());
  };

  std::vector<std::pair<double, long>> memory;
  std::atomic<int> running{clients};
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i)
    threads.emplace_back([&] {
      work();
      --running;
    });
  while (running > 0) {
    memory.emplace_back(static_cast<double>(std::min(next.load(), documents.size())) / documents.size(),
                        RssKib(pid));
    for (int tick = 0; tick < 100 && running > 0; ++tick) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (std::thread& thread : threads) thread.join();
  const double seconds = std::chrono::duration<double>(*std::max_element(finished.begin(), finished.end()) - start).count();
  std::sort(latencies.begin(), latencies.end());
  auto percentile = [&](double p) {
    return latencies.empty() ? 0 : latencies[std::min(latencies.size() - 1, static_cast<size_t>(p * latencies.size()))] * 1000;
  };
  auto rss_at = [&](double fraction) {
    for (const auto& [done, kib] : memory)
      if (done >= fraction) return kib / 1024;
    return memory.empty() ? 0 : memory.back().second / 1024;
  };
  std::printf("%s: requests %zu, failed %zu\n", front.c_str(), latencies.size(), failures.size());
  std::printf("seconds %.2f, documents/s %.0f, MB/s %.1f\n", seconds, latencies.size() / seconds, megabytes / seconds);
  std::printf("latency ms: p50 %.1f, p90 %.1f, p99 %.1f\n", percentile(0.5), percentile(0.9), percentile(0.99));
  std::printf("server RSS MiB at 25%% %ld, 50%% %ld, 75%% %ld, end %ld\n", rss_at(0.25), rss_at(0.5), rss_at(0.75),
              rss_at(1.0));
  for (size_t i = 0; i < failures.size() && i < 5; ++i)
    std::printf("failed: %s: %s\n", failures[i].first.c_str(), failures[i].second.c_str());
  return failures.empty() ? 0 : 1;
}
