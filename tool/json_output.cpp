#include "tool/json_output.h"

#include <nlohmann/json.hpp>

#include "core/charset.h"
#include "core/program_input.h"
#include "core/text_words.h"
#include "scoring/indexed_judge.h"

namespace {

using Json = nlohmann::ordered_json;  // members in the order they are set

constexpr char kShingleMode[] = "shingle";
constexpr char kLanguageModelMode[] = "language-model";
constexpr char kRobustMode[] = "robust";

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at the start of bytes, or 0: no
// overlong forms, no surrogates, nothing above U+10FFFF.
size_t Utf8SequenceLength(std::string_view bytes) {
  const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = at(0);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length || at(1) < low || at(1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (!IsContinuation(at(i))) return 0;
  return length;
}

// The path, and its bytes in base64 when they are not UTF-8.
void SetPath(Json& line, const std::string& path, const std::string& key = "path") {
  const std::string text = PathAsUtf8(path);
  line[key] = text;
  if (text != path) line[key + "_bytes"] = Base64(path);
}

Json DocumentLine(const std::string& path, int32_t formula) {
  Json line;
  line["type"] = "document";
  line["version"] = kJsonSchemaVersion;
  SetPath(line, path);
  line["mode"] = formula == 0 ? kShingleMode : formula == kRobustFormula ? kRobustMode
                                                                         : kLanguageModelMode;
  if (formula > 0) line["formula"] = formula > 3 ? 3 : formula;  // above 2: Formula3
  return line;
}

std::string LineOf(const Json& line) { return line.dump() + "\n"; }

// The deciding window of a hit: its scores, and the bytes its phrase spans
// in the document with the phrase's normalised words as UTF-8.
Json WindowOf(const lm::Result& result, const PhraseBytes& phrase) {
  Json window;
  window["protected_score"] = result.protected_score;
  window["unprotected_score"] = result.unprotected_score;
  if (result.phrase_words == 0) {
    window["offset"] = nullptr;
    window["length"] = 0;
    window["phrase"] = "";
    return window;
  }
  window["offset"] = phrase.offset;
  window["length"] = phrase.end - phrase.offset;
  window["phrase"] = Cp1251ToUtf8(phrase.words);
  return window;
}

// The sources of a hit, largest first: in language-model mode "shared"
// counts the document's pairs and "phrase" those of the deciding phrase.
Json SourcesOf(const std::vector<Source>& sources, bool language_model) {
  Json list = Json::array();
  for (const Source& source : sources) {
    Json entry;
    SetPath(entry, source.path);
    entry["shared"] = source.shared;
    if (language_model) entry["phrase"] = source.phrase;
    list.push_back(entry);
  }
  return list;
}

}  // namespace

std::string PathAsUtf8(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  while (!path.empty()) {
    const size_t valid = Utf8SequenceLength(path);
    if (valid != 0) {
      out.append(path.substr(0, valid));
    } else {
      AppendUtf8(static_cast<unsigned char>(path[0]), out);
    }
    path.remove_prefix(valid != 0 ? valid : 1);
  }
  return out;
}

std::string Base64(std::string_view bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t have = bytes.size() - i < 3 ? bytes.size() - i : 3;
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k)
      group = group << 8 | (k < have ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (size_t k = 0; k < 4; ++k)
      out += k <= have ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return out;
}

std::string JsonErrorLine(const std::string& path, int32_t formula, std::string_view messages) {
  Json line = DocumentLine(path, formula);
  // The reason is the last line: warnings of a --pre program come before it.
  line["error"] = PathAsUtf8(LastLine(messages));
  return LineOf(line);
}

std::string JsonShingleLine(const std::string& path, const ShingleResult& result,
                            const ScoringOptions& scoring, const std::vector<Source>* sources) {
  Json line = DocumentLine(path, 0);
  line["verdict"] = result.verdict;
  line["score"] = result.score;
  line["protected"] = result.protected_count;
  line["unprotected"] = result.unprotected_count;
  line["common"] = result.common_count;
  line["distinct"] = result.distinct;
  // The threshold the verdict compared P with: max_threshold, scaled down
  // for short documents by distinct / size_threshold.
  double threshold = scoring.max_threshold;
  if (result.scaled)
    threshold = threshold * static_cast<double>(result.distinct) / scoring.size_threshold;
  line["threshold"] = threshold;
  line["scaled"] = result.scaled;
  if (sources != nullptr) line["sources"] = SourcesOf(*sources, false);
  return LineOf(line);
}

std::string JsonLanguageModelLine(const std::string& path, int32_t formula,
                                  const lm::Result& result, const PhraseBytes& phrase,
                                  const std::vector<Source>* sources) {
  Json line = DocumentLine(path, formula);
  line["verdict"] = result.verdict;
  // The best window's margin (>= 0 exactly for a hit); null when the
  // formula scored no window.
  line["score"] = result.scored_windows != 0 ? Json(result.best) : Json(nullptr);
  line["window"] = result.verdict ? WindowOf(result, phrase) : Json(nullptr);
  if (sources != nullptr) line["sources"] = SourcesOf(*sources, true);
  return LineOf(line);
}

std::string JsonRobustLine(const std::string& path, const RobustResult& result, double threshold,
                           const std::string* source) {
  Json line = DocumentLine(path, kRobustFormula);
  line["verdict"] = result.verdict;
  line["score"] = result.score;
  line["threshold"] = threshold;
  line["protected"] = result.protected_count;
  if (source == nullptr)
    line["source"] = nullptr;
  else
    SetPath(line, *source, "source");
  return LineOf(line);
}

std::string JsonSkippedLine(const std::string& path, int32_t formula, const char* reason) {
  Json line = DocumentLine(path, formula);
  line["skipped"] = reason;
  return LineOf(line);
}

std::string JsonEvaluationLine(const lm::Settings& lm, const Evaluation& evaluation) {
  Json line;
  line["type"] = "evaluation";
  line["version"] = kJsonSchemaVersion;
  line["lm_threshold_1"] = lm.threshold_1;
  line["lm_threshold_2"] = lm.threshold_2;
  line["lm_length"] = lm.length;
  line["lm_lambda"] = lm.lambda;
  line["lm_lambda0"] = lm.lambda0;
  line["lm_log"] = lm.log;
  line["lm_factor"] = lm.factor;
  line["p_count"] = evaluation.p_count;
  line["u_count"] = evaluation.u_count;
  line["p_p_count"] = evaluation.p_p_count;
  line["p_u_count"] = evaluation.p_u_count;
  line["recall"] = evaluation.recall;
  line["precision"] = evaluation.precision;
  line["f"] = evaluation.f;
  return LineOf(line);
}
