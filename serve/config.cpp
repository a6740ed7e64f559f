#include "serve/config.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace tessel::serve {
namespace {

std::string Trim(const std::string& s) {
  const char* space = " \t\r";
  size_t begin = s.find_first_not_of(space);
  if (begin == std::string::npos) return "";
  return s.substr(begin, s.find_last_not_of(space) - begin + 1);
}

bool ToDouble(const std::string& value, double* out) {
  if (value.empty()) return false;
  char* end = nullptr;
  errno = 0;
  double d = std::strtod(value.c_str(), &end);
  if (*end != '\0' || errno != 0 || !std::isfinite(d)) return false;
  *out = d;
  return true;
}

bool ToInt(const std::string& value, long long min, long long max, long long* out) {
  if (value.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long n = std::strtoll(value.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || n < min || n > max) return false;
  *out = n;
  return true;
}

bool ToBool(const std::string& value, int64_t* out) {
  if (value == "true" || value == "yes" || value == "1") { *out = 1; return true; }
  if (value == "false" || value == "no" || value == "0") { *out = 0; return true; }
  return false;
}

bool ToSeconds(const std::string& value, double* out) {
  double d = 0;
  if (!ToDouble(value, &d) || d <= 0) return false;
  *out = d;
  return true;
}

using Setter = std::function<bool(const std::string&, ServeConfig*)>;

const std::map<std::string, Setter>& Setters() {
  auto integer = [](long long min, long long max, auto member) {
    return Setter([=](const std::string& v, ServeConfig* c) {
      long long n = 0;
      if (!ToInt(v, min, max, &n)) return false;
      member(c) = n;
      return true;
    });
  };
  auto real = [](auto member) {
    return Setter([=](const std::string& v, ServeConfig* c) { return ToDouble(v, &member(c)); });
  };
  auto flag = [](auto member) {
    return Setter([=](const std::string& v, ServeConfig* c) { return ToBool(v, &member(c)); });
  };
  auto seconds = [](auto member) {
    return Setter([=](const std::string& v, ServeConfig* c) { return ToSeconds(v, &member(c)); });
  };
  auto text = [](auto member) {
    return Setter([=](const std::string& v, ServeConfig* c) {
      member(c) = v;
      return true;
    });
  };
  static const std::map<std::string, Setter> setters = {
      {"model", text([](ServeConfig* c) -> std::string& { return c->model; })},
      {"mode",
       [](const std::string& v, ServeConfig* c) {
         if (v == "shingle") c->open.mode = TESSEL_MODE_SHINGLES;
         else if (v == "language-model") c->open.mode = TESSEL_MODE_LANGUAGE_MODEL;
         else if (v == "robust") c->open.mode = TESSEL_MODE_ROBUST;
         else return false;
         return true;
       }},
      {"shingle_length", integer(1, 1000, [](ServeConfig* c) -> int64_t& { return c->open.shingle_length; })},
      {"shingle_shift", integer(1, 1000, [](ServeConfig* c) -> int64_t& { return c->open.shingle_shift; })},
      {"stop_words", text([](ServeConfig* c) -> std::string& { return c->stop_words; })},
      {"lm_sub", flag([](ServeConfig* c) -> int64_t& { return c->open.exclusive_pairs; })},
      {"upper_case", flag([](ServeConfig* c) -> int64_t& { return c->open.upper_case; })},
      {"encoding",
       [](const std::string& v, ServeConfig* c) {
         if (v == "model") c->open.encoding = TESSEL_ENCODING_MODEL;
         else if (v == "auto") c->open.encoding = TESSEL_ENCODING_AUTO;
         else if (v == "utf-8") c->open.encoding = TESSEL_ENCODING_UTF8;
         else if (v == "cp1251") c->open.encoding = TESSEL_ENCODING_CP1251;
         else return false;
         return true;
       }},
      {"formula", integer(1, 3, [](ServeConfig* c) -> int64_t& { return c->judge.formula; })},
      {"threshold_1", real([](ServeConfig* c) -> double& { return c->judge.threshold_1; })},
      {"threshold_2", real([](ServeConfig* c) -> double& { return c->judge.threshold_2; })},
      {"length", integer(0, 1 << 30, [](ServeConfig* c) -> int64_t& { return c->judge.length; })},
      {"lambda", real([](ServeConfig* c) -> double& { return c->judge.lambda; })},
      {"lambda0", real([](ServeConfig* c) -> double& { return c->judge.lambda0; })},
      {"factor", real([](ServeConfig* c) -> double& { return c->judge.factor; })},
      {"log", flag([](ServeConfig* c) -> int64_t& { return c->judge.log; })},
      {"max_threshold", integer(0, 1LL << 40, [](ServeConfig* c) -> int64_t& { return c->judge.max_threshold; })},
      {"size_threshold", integer(1, 1LL << 40, [](ServeConfig* c) -> int64_t& { return c->judge.size_threshold; })},
      {"robust_threshold", real([](ServeConfig* c) -> double& { return c->judge.robust_threshold; })},
      {"sources", flag([](ServeConfig* c) -> int64_t& { return c->open.sources; })},
      // "converter = KEY PROGRAM", once per extension or media type.
      {"converter",
       [](const std::string& v, ServeConfig* c) {
         const size_t space = v.find_first_of(" \t");
         const size_t program = v.find_first_not_of(" \t", space);
         if (space == std::string::npos || program == std::string::npos) return false;
         c->converters.push_back(v.substr(0, space) + "=" + v.substr(program));
         return true;
       }},
      {"converter_timeout", seconds([](ServeConfig* c) -> double& { return c->judge.converter_timeout; })},
      {"max_body",
       [](const std::string& v, ServeConfig* c) {
         long long n = 0;
         if (!ToInt(v, 1, 1LL << 40, &n)) return false;
         c->max_body = static_cast<size_t>(n);
         return true;
       }},
      {"max_in_flight",
       [](const std::string& v, ServeConfig* c) {
         long long n = 0;
         if (!ToInt(v, 1, 4096, &n)) return false;
         c->max_in_flight = static_cast<unsigned>(n);
         return true;
       }},
      {"queue_timeout", seconds([](ServeConfig* c) -> double& { return c->queue_timeout; })},
      {"read_timeout", seconds([](ServeConfig* c) -> double& { return c->read_timeout; })},
      {"judge_timeout", seconds([](ServeConfig* c) -> double& { return c->judge_timeout; })},
      {"drain_timeout", seconds([](ServeConfig* c) -> double& { return c->drain_timeout; })},
      {"watch_model",
       [](const std::string& v, ServeConfig* c) {
         int64_t on = 0;
         if (!ToBool(v, &on)) return false;
         c->watch_model = on != 0;
         return true;
       }},
      {"listen", text([](ServeConfig* c) -> std::string& { return c->listen; })},
      {"socket_mode",
       [](const std::string& v, ServeConfig* c) {
         char* end = nullptr;
         unsigned long mode = std::strtoul(v.c_str(), &end, 8);
         if (v.empty() || v[0] == '-' || *end != '\0' || mode > 0777) return false;
         c->socket_mode = static_cast<unsigned>(mode);
         return true;
       }},
      {"token_file", text([](ServeConfig* c) -> std::string& { return c->token_file; })},
      {"port_file", text([](ServeConfig* c) -> std::string& { return c->port_file; })},
      {"action", text([](ServeConfig* c) -> std::string& { return c->action; })},
      {"block_message", text([](ServeConfig* c) -> std::string& { return c->block_message; })},
      {"request_log", text([](ServeConfig* c) -> std::string& { return c->request_log; })},
  };
  return setters;
}

}  // namespace

ServeConfig DefaultConfig() {
  ServeConfig config;
  tessel_open_options_default(&config.open);
  tessel_judge_options_default(&config.judge);
  return config;
}

const char* ModeName(const ServeConfig& config) {
  if (config.open.mode == TESSEL_MODE_ROBUST) return "robust";
  return config.open.mode == TESSEL_MODE_LANGUAGE_MODEL ? "language-model" : "shingle";
}

bool ParseConfig(const std::string& text, ServeConfig* config, std::string* error) {
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::string content = Trim(line);
    if (content.empty() || content[0] == '#') continue;
    size_t equals = content.find('=');
    std::string key = equals == std::string::npos ? content : Trim(content.substr(0, equals));
    auto setter = Setters().find(key);
    if (equals == std::string::npos || setter == Setters().end()) {
      *error = "line " + std::to_string(number) + ": unknown setting \"" + key + "\"";
      return false;
    }
    std::string value = Trim(content.substr(equals + 1));
    if (!setter->second(value, config)) {
      *error = "line " + std::to_string(number) + ": refused value \"" + value + "\" for " + key;
      return false;
    }
  }
  if (config->model.empty()) {
    *error = "no model: set \"model = DIRECTORY\"";
    return false;
  }
  return true;
}

bool LoadConfig(const std::string& path, ServeConfig* config, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = path + ": cannot be read";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!ParseConfig(text.str(), config, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace tessel::serve
