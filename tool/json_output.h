// The tool's output as JSON Lines (--format=json): one object per listed
// document and, in language-model mode, one final evaluation object. Each
// function gives one complete line, ended by a line feed, so that a document's
// line is built on the thread that judged it and written in list order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/provenance.h"

#include "scoring/formula_core.h"
#include "scoring/options.h"
#include "scoring/robust_judge.h"
#include "scoring/shingle_judge.h"

struct PhraseBytes;

// The version of the objects' members, written in each ("version"): it
// changes when a member is renamed, removed or changes meaning, not when one
// is added.
inline constexpr int kJsonSchemaVersion = 1;


// A path as a JSON string must be UTF-8: every byte that does not belong to
// a valid UTF-8 sequence is taken as the code point of the same number
// (0xFF as U+00FF). Not reversible by itself; path_bytes carries the bytes.
std::string PathAsUtf8(std::string_view path);
// Standard base64 with padding.
std::string Base64(std::string_view bytes);

// The formula number of a robust scan's objects ("mode": "robust"); 0 is
// shingle mode and 1 and above the language model's formulas.
inline constexpr int32_t kRobustFormula = -1;

// A document that could not be judged: `error` holds the last line of the
// messages its reading wrote, the reason.
std::string JsonErrorLine(const std::string& path, int32_t formula, std::string_view messages);
// A shingle-mode verdict with the counts behind it.
// With sources (--sources), a "sources" member: [{"path", "shared"}].
std::string JsonShingleLine(const std::string& path, const ShingleResult& result,
                            const ScoringOptions& scoring,
                            const std::vector<Source>* sources = nullptr);
// A language-model verdict; for a hit, the deciding window located in the
// document's bytes (words of the text at positions phrase_first * shift ...).
// With sources, each also has "phrase": the pairs of the window's phrase.
std::string JsonLanguageModelLine(const std::string& path, int32_t formula,
                                  const lm::Result& result, const PhraseBytes& phrase,
                                  const std::vector<Source>* sources = nullptr);
// A robust scan's verdict: its score, the threshold, the distinct
// protected-only shingles and the protected file of the chain (null: none).
std::string JsonRobustLine(const std::string& path, const RobustResult& result, double threshold,
                           const std::string* source);
// A readable document that has too few words to be judged.
std::string JsonSkippedLine(const std::string& path, int32_t formula, const char* reason);

// The counts of the evaluation pass and what follows from them.
struct Evaluation {
  int32_t p_count = 0;
  int32_t u_count = 0;
  int32_t p_p_count = 0;
  int32_t p_u_count = 0;
  double recall = 0.0;
  double precision = 0.0;
  double f = 0.0;
};
// The evaluation line's fields, named as in the title file.
std::string JsonEvaluationLine(const lm::Settings& lm, const Evaluation& evaluation);
