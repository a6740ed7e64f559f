// tessel-milter: judges mail for Postfix and Sendmail through libmilter.
//
//     tessel-milter CONFIG
//
// The text parts of a message and its text attachments, MIME decoded by
// GMime, are judged together as one document (so that a leak split over two
// parts is seen whole). A protected message is, by "action": accept (only
// logged), headers (X-Tessel-Verdict and X-Tessel-Score added), quarantine
// (held, with the headers) or reject (550 5.7.1 with block_message).
// SIGUSR1 reloads the model (libmilter keeps SIGHUP, SIGTERM and SIGINT to
// stop; it finishes the messages in progress).
#include <gmime/gmime.h>
#include <iconv.h>
#include <fcntl.h>
#include <libmilter/mfapi.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>
#include <thread>

#include "serve/config.h"
#include "serve/model_watch.h"
#include "serve/service.h"

namespace tessel::serve {
namespace {

using Clock = std::chrono::steady_clock;

Service* gateway = nullptr;

// A message larger than this waits in an unnamed temporary file rather than
// in memory, and GMime parses it from there.
constexpr size_t kInMemory = size_t{1} << 20;

struct Message {
  Clock::time_point start = Clock::now();
  std::string raw;  // headers and body as received, while they are small
  int spool = -1;   // beyond kInMemory, up to max_body: all of them, in the file
  std::string spool_error;  // why they could not be kept
  size_t size = 0;
  bool too_large = false;
  Message() = default;
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;
  ~Message() { CloseSpool(); }
  void CloseSpool() {
    if (spool >= 0) close(spool);
    spool = -1;
  }
};

// A connection's state: the replies the MTA agreed to go without, and the
// message in progress.
struct Connection {
  unsigned long no_reply = 0;  // SMFIP_NR_ flags agreed in the negotiation
  Message* message = nullptr;
  ~Connection() { delete message; }
};

// The steps the milter has no use for, and those it answers only when the
// MTA insists: without their replies the MTA sends a message's envelope,
// headers and body in one stream, and waits only for the end of message.
constexpr unsigned long kSkippedSteps = SMFIP_NOHELO | SMFIP_NORCPT | SMFIP_NOUNKNOWN | SMFIP_NODATA;
constexpr unsigned long kNoReplySteps = SMFIP_NR_CONN | SMFIP_NR_MAIL | SMFIP_NR_HDR | SMFIP_NR_EOH | SMFIP_NR_BODY;
constexpr unsigned long kActions = SMFIF_ADDHDRS | SMFIF_QUARANTINE;

Connection* ConnectionOf(SMFICTX* ctx) { return static_cast<Connection*>(smfi_getpriv(ctx)); }

Message* Of(SMFICTX* ctx) {
  Connection* c = ConnectionOf(ctx);
  return c != nullptr ? c->message : nullptr;
}

// What a step's callback answers: nothing where the MTA agreed to that.
sfsistat Continue(SMFICTX* ctx, unsigned long no_reply_flag) {
  Connection* c = ConnectionOf(ctx);
  return c != nullptr && (c->no_reply & no_reply_flag) != 0 ? SMFIS_NOREPLY : SMFIS_CONTINUE;
}

bool WriteAll(int fd, const char* data, size_t length) {
  while (length > 0) {
    const ssize_t wrote = write(fd, data, length);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    data += wrote;
    length -= static_cast<size_t>(wrote);
  }
  return true;
}

// An unnamed file (O_TMPFILE, mode 0600) under $TMPDIR (or /tmp); on a file
// system without them, a named one removed at once. -1 with errno set.
int OpenSpool() {
  const char* base = std::getenv("TMPDIR");
  const std::string place = base != nullptr && *base != '\0' ? base : "/tmp";
  const int fd = open(place.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string path = place + "/tessel-milter-XXXXXX";
  const int named = mkostemp(path.data(), O_CLOEXEC);
  if (named >= 0) unlink(path.c_str());
  return named;
}

constexpr char kCannotSpool[] = "the message cannot be kept in a temporary file: ";

void Append(Message* m, const char* data, size_t length) {
  m->size += length;
  if (m->too_large || !m->spool_error.empty()) return;
  if (m->size > gateway->config().max_body) {
    m->too_large = true;
    std::string().swap(m->raw);
    m->CloseSpool();
    return;
  }
  if (m->spool < 0 && m->raw.size() + length > kInMemory) {
    m->spool = OpenSpool();
    if (m->spool < 0 || !WriteAll(m->spool, m->raw.data(), m->raw.size()))
      m->spool_error = std::string(kCannotSpool) + std::strerror(errno);
    std::string().swap(m->raw);
  }
  if (m->spool < 0) m->raw.append(data, length);
  else if (m->spool_error.empty() && !WriteAll(m->spool, data, length))
    m->spool_error = std::string(kCannotSpool) + std::strerror(errno);
}

// The message as received, read back from its file when it is in one.
std::string RawOf(const Message& m) {
  if (m.spool < 0) return m.raw;
  std::string raw(m.size, '\0');
  size_t got = 0;
  while (got < raw.size()) {
    const ssize_t n = pread(m.spool, raw.data() + got, raw.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  raw.resize(got);
  return raw;
}

bool TextBearing(GMimeObject* part) {
  GMimeContentType* type = g_mime_object_get_content_type(part);
  return g_mime_content_type_is_type(type, "text", "*") ||
         g_mime_content_type_is_type(type, "application", "xml");
}

// What a message gives to judge: its text parts together, and each
// attachment a converter is configured for (by its file name, else its
// media type), decoded, with that name.
struct Collected {
  int64_t encoding = TESSEL_ENCODING_MODEL;  // how the model reads: the text is made for it
  std::string text;
  std::vector<std::pair<std::string, std::string>> documents;  // name, bytes
};

std::string DecodedContent(GMimeObject* part) {
  GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(part));
  if (content == nullptr) return "";
  GMimeStream* out = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(content, out);
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
  std::string decoded(reinterpret_cast<const char*>(bytes->data), bytes->len);
  g_object_unref(out);
  return decoded;
}

// Windows-1251 as UTF-8, byte by byte, as the C library's iconv converts it
// (and so GMime), made once: most Cyrillic mail is in it, and a table spares
// a converter per part. An entry of length 0 is a byte iconv does not take.
struct Cp1251Table {
  unsigned char length[256] = {};
  char utf8[256][4] = {};
  Cp1251Table() {
    for (int byte = 0; byte < 0x80; ++byte) {
      length[byte] = 1;
      utf8[byte][0] = static_cast<char>(byte);
    }
    iconv_t to_utf8 = iconv_open("UTF-8", "WINDOWS-1251");
    if (to_utf8 == reinterpret_cast<iconv_t>(-1)) return;
    for (int byte = 0x80; byte < 256; ++byte) {
      char in[1] = {static_cast<char>(byte)};
      char* in_at = in;
      char* out_at = utf8[byte];
      size_t in_left = 1, out_left = sizeof utf8[byte];
      iconv(to_utf8, nullptr, nullptr, nullptr, nullptr);
      if (iconv(to_utf8, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1) && in_left == 0)
        length[byte] = static_cast<unsigned char>(out_at - utf8[byte]);
    }
    iconv_close(to_utf8);
  }
};

const Cp1251Table& Cp1251() {
  static const Cp1251Table table;
  return table;
}

// Appends bytes of Windows-1251 as UTF-8; false, appending nothing, when a
// byte has no character there (GMime's converter decides what becomes of it).
bool AppendCp1251AsUtf8(const std::string& bytes, std::string* text) {
  const Cp1251Table& table = Cp1251();
  const size_t start = text->size();
  text->resize(start + 4 * bytes.size());
  char* out = text->data() + start;
  for (unsigned char byte : bytes) {
    const size_t length = table.length[byte];
    if (length == 0) {
      text->resize(start);
      return false;
    }
    std::memcpy(out, table.utf8[byte], 4);
    out += length;
  }
  text->resize(static_cast<size_t>(out - text->data()));
  return true;
}

bool IsAscii(const std::string& bytes) {
  for (unsigned char byte : bytes)
    if (byte >= 0x80) return false;
  return true;
}

bool IsCharset(const char* charset, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (g_ascii_strcasecmp(charset, name) == 0) return true;
  return false;
}

bool IsWindows1251(const char* charset) { return IsCharset(charset, {"windows-1251", "cp1251"}); }

// Appends a text part's content as UTF-8 without a converter where its
// charset makes that exact: UTF-8 that is valid, ASCII that is, and
// Windows-1251 (as its own bytes where the model reads them as such);
// false for the others, which GMime converts.
bool AppendAsUtf8(GMimeObject* part, const char* charset, bool reads_windows_1251, std::string* text) {
  const bool utf8 = IsCharset(charset, {"utf-8", "utf8"});
  const bool ascii = IsCharset(charset, {"us-ascii", "ascii"});
  const bool cp1251 = IsWindows1251(charset);
  if (!utf8 && !ascii && !cp1251) return false;
  if (g_mime_part_get_content(GMIME_PART(part)) == nullptr) return false;
  const std::string content = DecodedContent(part);
  if (content.find('\0') != std::string::npos) return false;  // GMime's text ends there
  if (cp1251 && reads_windows_1251) {
    text->append(content);
    return true;
  }
  if (cp1251) return AppendCp1251AsUtf8(content, text);
  if (utf8 ? !g_utf8_validate(content.data(), static_cast<gssize>(content.size()), nullptr) : !IsAscii(content))
    return false;
  text->append(content);
  return true;
}

// Appends the decoded content of every text part, attachments included: as
// UTF-8 when the part names its charset (so that parts in different charsets
// read alike), else as its bytes.
void CollectText(GMimeObject*, GMimeObject* part, gpointer data) {
  if (!GMIME_IS_PART(part)) return;
  auto* collected = static_cast<Collected*>(data);
  if (!TextBearing(part)) {
    const char* file = g_mime_part_get_filename(GMIME_PART(part));
    GMimeContentType* type = g_mime_object_get_content_type(part);
    std::string name = file != nullptr ? file : "";
    if (name.empty() || !gateway->HasConverter(name)) {
      char* media = type != nullptr ? g_mime_content_type_get_mime_type(type) : nullptr;
      name = media != nullptr ? media : "";
      g_free(media);
    }
    if (!name.empty() && gateway->HasConverter(name))
      collected->documents.emplace_back(name, DecodedContent(part));
    return;
  }
  std::string* text = &collected->text;
  const char* charset = GMIME_IS_TEXT_PART(part) ? g_mime_object_get_content_type_parameter(part, "charset") : nullptr;
  if (charset != nullptr) {
    const bool reads_windows_1251 =
        collected->encoding == TESSEL_ENCODING_AUTO || collected->encoding == TESSEL_ENCODING_CP1251;
    if (reads_windows_1251 && IsWindows1251(charset) && AppendAsUtf8(part, charset, true, text)) {
      text->append("\n");
      return;
    }
    std::string utf8;
    bool converted = AppendAsUtf8(part, charset, false, &utf8);
    if (!converted) {
      if (char* by_gmime = g_mime_text_part_get_text(GMIME_TEXT_PART(part))) {
        utf8 = by_gmime;
        converted = true;
        g_free(by_gmime);
      }
    }
    if (converted) {
      // A model that reads byte for byte takes Windows-1251: characters it
      // lacks become spaces, which part words as they do in UTF-8.
      gchar* cp1251 = nullptr;
      if (collected->encoding == TESSEL_ENCODING_CP1251)
        cp1251 = g_convert_with_fallback(utf8.data(), static_cast<gssize>(utf8.size()), "WINDOWS-1251", "UTF-8",
                                         " ", nullptr, nullptr, nullptr);
      text->append(cp1251 != nullptr ? cp1251 : utf8.c_str());
      text->append("\n");
      g_free(cp1251);
      return;
    }
  }
  if (g_mime_part_get_content(GMIME_PART(part)) == nullptr) return;
  text->append(DecodedContent(part));
  text->append("\n");
}

// The text to judge: the message's text parts; when it cannot be parsed as
// MIME, or no text part is found in it (a multipart whose boundary never
// comes), the raw message itself, so that broken MIME hides nothing. And
// the attachments the converters take.
// A message in a file is parsed from it: GMime reads the parts' contents
// from the file as they are decoded, and never holds the message whole.
Collected TextOf(const Message& m, int64_t encoding, bool* parsed) {
  const int fd = m.spool >= 0 ? dup(m.spool) : -1;
  if (fd >= 0) lseek(fd, 0, SEEK_SET);
  GMimeStream* stream = fd >= 0 ? g_mime_stream_fs_new(fd)
                                : g_mime_stream_mem_new_with_buffer(m.raw.data(), m.raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  Collected collected;
  collected.encoding = encoding;
  *parsed = message != nullptr;
  if (message != nullptr) {
    g_mime_message_foreach(message, CollectText, &collected);
    g_object_unref(message);
  }
  if (collected.text.empty()) collected.text = RawOf(m);
  g_object_unref(parser);
  g_object_unref(stream);
  return collected;
}

sfsistat OnNegotiate(SMFICTX* ctx, unsigned long, unsigned long steps, unsigned long, unsigned long,
                     unsigned long* actions_wanted, unsigned long* steps_wanted, unsigned long* reserved_2,
                     unsigned long* reserved_3) {
  delete ConnectionOf(ctx);
  auto* c = new Connection;
  c->no_reply = steps & kNoReplySteps;
  smfi_setpriv(ctx, c);
  *actions_wanted = kActions;
  *steps_wanted = steps & (kSkippedSteps | kNoReplySteps);
  *reserved_2 = 0;
  *reserved_3 = 0;
  return SMFIS_CONTINUE;
}

sfsistat OnConnect(SMFICTX* ctx, char*, _SOCK_ADDR*) { return Continue(ctx, SMFIP_NR_CONN); }

sfsistat OnEnvFrom(SMFICTX* ctx, char**) {
  Connection* c = ConnectionOf(ctx);
  if (c == nullptr) {  // no negotiation seen: every step gets its reply
    c = new Connection;
    smfi_setpriv(ctx, c);
  }
  delete c->message;
  c->message = new Message;
  return Continue(ctx, SMFIP_NR_MAIL);
}

sfsistat OnHeader(SMFICTX* ctx, char* name, char* value) {
  if (Message* m = Of(ctx)) {
    const size_t name_length = std::strlen(name), value_length = std::strlen(value);
    std::string line;
    line.reserve(name_length + value_length + 4);
    line.append(name, name_length).append(": ").append(value, value_length).append("\r\n");
    Append(m, line.data(), line.size());
  }
  return Continue(ctx, SMFIP_NR_HDR);
}

sfsistat OnEndOfHeaders(SMFICTX* ctx) {
  if (Message* m = Of(ctx)) Append(m, "\r\n", 2);
  return Continue(ctx, SMFIP_NR_EOH);
}

sfsistat OnBody(SMFICTX* ctx, unsigned char* data, size_t length) {
  if (Message* m = Of(ctx)) Append(m, reinterpret_cast<const char*>(data), length);
  return Continue(ctx, SMFIP_NR_BODY);
}

sfsistat OnEndOfMessage(SMFICTX* ctx) {
  Message* m = Of(ctx);
  if (m == nullptr) return SMFIS_CONTINUE;
  const char* queue_id = smfi_getsymval(ctx, const_cast<char*>("i"));
  std::string id = queue_id != nullptr ? queue_id : gateway->NextId();
  if (m->too_large) {
    gateway->Record("milter", id, m->size,
                    gateway->Refuse(Outcome::kTooLarge, "over max_body: accepted unjudged"), m->start);
    return SMFIS_CONTINUE;
  }
  if (!m->spool_error.empty()) {
    gateway->Record("milter", id, m->size,
                    gateway->Refuse(Outcome::kFailed, m->spool_error + ": accepted unjudged"), m->start);
    return SMFIS_CONTINUE;
  }
  bool parsed = true;
  Collected collected = TextOf(*m, gateway->Encoding(), &parsed);
  Judgement j = gateway->Judge(collected.text.data(), collected.text.size());
  // A model swapped in meanwhile that reads otherwise gets the text made
  // for it.
  for (int again = 0; again < 2 && j.outcome == Outcome::kJudged && j.encoding != collected.encoding; ++again) {
    collected = TextOf(*m, j.encoding, &parsed);
    j = gateway->Judge(collected.text.data(), collected.text.size());
  }
  if (!parsed && j.outcome == Outcome::kJudged) gateway->LogEvent("not_mime", id + ": judged as plain text");
  // Attachments through their converters, until one is flagged.
  for (const auto& [name, bytes] : collected.documents) {
    if (j.outcome == Outcome::kJudged && j.verdict.verdict == 1) break;
    Judgement attached = gateway->Judge(bytes.data(), bytes.size(), name);
    if (attached.outcome == Outcome::kJudged) {
      if (attached.verdict.verdict == 1 || j.outcome != Outcome::kJudged) j = attached;
    } else {
      gateway->LogEvent("attachment_not_judged", id + ": " + attached.error);
    }
  }
  gateway->Record("milter", id, m->size, j, m->start);
  if (j.outcome != Outcome::kJudged || j.verdict.verdict != 1) return SMFIS_CONTINUE;
  const std::string& action = gateway->config().action;
  if (action == "reject") {
    smfi_setreply(ctx, const_cast<char*>("550"), const_cast<char*>("5.7.1"),
                  const_cast<char*>(gateway->config().block_message.c_str()));
    return SMFIS_REJECT;
  }
  if (action == "accept") return SMFIS_CONTINUE;
  smfi_addheader(ctx, const_cast<char*>("X-Tessel-Verdict"), const_cast<char*>("protected"));
  smfi_addheader(ctx, const_cast<char*>("X-Tessel-Score"), const_cast<char*>(ScoreText(j).c_str()));
  if (action == "quarantine")
    smfi_quarantine(ctx, const_cast<char*>("tessel: the message holds protected text"));
  return SMFIS_CONTINUE;
}

sfsistat OnAbort(SMFICTX* ctx) {
  if (Connection* c = ConnectionOf(ctx)) {
    delete c->message;
    c->message = nullptr;
  }
  return SMFIS_CONTINUE;
}

sfsistat OnClose(SMFICTX* ctx) {
  delete ConnectionOf(ctx);
  smfi_setpriv(ctx, nullptr);
  return SMFIS_CONTINUE;
}

// libmilter's own listener address: "unix:PATH", "inet:PORT@HOST", or the
// configuration's HOST:PORT.
std::string MilterAddress(const std::string& listen) {
  if (listen.rfind("unix:", 0) == 0 || listen.rfind("inet:", 0) == 0 || listen.rfind("local:", 0) == 0)
    return listen;
  size_t colon = listen.rfind(':');
  if (colon == std::string::npos) return listen;
  return "inet:" + listen.substr(colon + 1) + "@" + listen.substr(0, colon);
}

int Run(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(argc == 2 ? stdout : stderr, "usage: tessel-milter CONFIG\n");
    return argc == 2 ? 0 : 2;
  }
  ServeConfig config = DefaultConfig();
  config.listen = "inet:8891@127.0.0.1";
  config.action = "headers";
  std::string error;
  if (!LoadConfig(argv[1], &config, &error)) {
    std::fprintf(stderr, "tessel-milter: %s\n", error.c_str());
    return 2;
  }
  if (config.action != "accept" && config.action != "headers" && config.action != "quarantine" &&
      config.action != "reject") {
    std::fprintf(stderr, "tessel-milter: action must be accept, headers, quarantine or reject\n");
    return 2;
  }
  // SIGUSR1 is taken by a thread of its own, and the signals that stop
  // libmilter by libmilter's; blocked before any thread starts, so that no
  // other thread receives them.
  sigset_t reload, stop;
  sigemptyset(&reload);
  sigaddset(&reload, SIGUSR1);
  sigemptyset(&stop);
  sigaddset(&stop, SIGHUP);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &reload, nullptr);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  Service service(config);
  gateway = &service;
  if (!service.Reload(&error)) {
    std::fprintf(stderr, "tessel-milter: %s\n", error.c_str());
    return 1;
  }
  ModelWatch watch(service);
  if (config.watch_model && !watch.Start(&error)) {
    std::fprintf(stderr, "tessel-milter: %s\n", error.c_str());
    return 1;
  }
  std::thread([&service, reload] {
    for (;;) {
      int signal = 0;
      if (sigwait(&reload, &signal) != 0) continue;
      std::string reload_error;
      service.Reload(&reload_error);
    }
  }).detach();

  g_mime_init();
  struct smfiDesc description = {};
  description.xxfi_name = const_cast<char*>("tessel");
  description.xxfi_version = SMFI_VERSION;
  description.xxfi_flags = kActions;
  description.xxfi_connect = OnConnect;
  description.xxfi_envfrom = OnEnvFrom;
  description.xxfi_header = OnHeader;
  description.xxfi_eoh = OnEndOfHeaders;
  description.xxfi_body = OnBody;
  description.xxfi_eom = OnEndOfMessage;
  description.xxfi_abort = OnAbort;
  description.xxfi_close = OnClose;
  description.xxfi_negotiate = OnNegotiate;
  std::string address = MilterAddress(config.listen);
  if (smfi_setconn(const_cast<char*>(address.c_str())) == MI_FAILURE ||
      smfi_settimeout(static_cast<int>(config.read_timeout)) == MI_FAILURE ||
      smfi_register(description) == MI_FAILURE) {
    std::fprintf(stderr, "tessel-milter: cannot listen on %s\n", address.c_str());
    return 1;
  }
  if (address.rfind("unix:", 0) == 0 || address.rfind("local:", 0) == 0) smfi_opensocket(true);
  service.LogEvent("listening", address);
  int status = smfi_main();
  service.WaitIdle(std::chrono::duration<double>(config.drain_timeout));
  service.LogEvent("stopped", "drained");
  std::fflush(nullptr);
  _exit(status == MI_SUCCESS ? 0 : 1);
}

}  // namespace
}  // namespace tessel::serve

int main(int argc, char** argv) { return tessel::serve::Run(argc, argv); }
