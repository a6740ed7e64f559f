// The configuration of a gateway: one file of "key = value" lines read by
// every front end (tessel-serve, the ICAP service, tessel-milter), so that a
// model and its judging settings are written once for all of them.
#pragma once

#include <string>
#include <vector>

#include "tessel.h"

namespace tessel::serve {

struct ServeConfig {
  // The model and how it is judged: the tool's options of the same names.
  std::string model;
  tessel_open_options_t open{};
  tessel_judge_options_t judge{};
  std::string stop_words;  // the open options take it when the model is opened
  // "KEY=PROGRAM": the converters of attachments and named bodies, by file
  // name extension or media type (the judge options point to them).
  std::vector<std::string> converters;

  // Limits of one request.
  size_t max_body = 10u << 20;       // bytes; a longer body is refused
  unsigned max_in_flight = 8;        // requests judged at once
  double queue_timeout = 5.0;        // seconds a request waits for a slot, then "busy"
  double read_timeout = 30.0;        // seconds without a byte from the client
  double judge_timeout = 30.0;       // seconds a judgement may take
  double drain_timeout = 30.0;       // seconds SIGTERM waits for requests in flight
  bool watch_model = false;          // reload when the model directory changes (inotify)

  // HTTP front end.
  std::string listen = "127.0.0.1:8080";  // HOST:PORT (port 0 picks a free one) or unix:PATH
  unsigned socket_mode = 0660;            // permissions of a unix:PATH socket
  std::string token_file;                 // bearer token; required off loopback
  std::string port_file;                  // where the bound port is written

  // ICAP and milter front ends: what a protected document brings.
  std::string action;         // icap: block | monitor; milter: accept | headers | quarantine | reject
  std::string block_message = "Blocked: the document holds protected text.";

  std::string request_log = "-";  // request log: "-" for standard error, else a file appended to
};

// Fills config from the text of a configuration file: "key = value" lines,
// "#" comments and blank lines. False with a message naming the line when a
// key is unknown or a value refused.
bool ParseConfig(const std::string& text, ServeConfig* config, std::string* error);
// Reads and parses the file at path.
bool LoadConfig(const std::string& path, ServeConfig* config, std::string* error);
// The defaults: those of the tool, and the limits above.
ServeConfig DefaultConfig();
// "shingle", "language-model" or "robust".
const char* ModeName(const ServeConfig& config);

}  // namespace tessel::serve
