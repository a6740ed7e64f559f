// Shingle mode: how many of a document's distinct shingles only the
// protected side holds, and whether that count reaches the threshold.
#pragma once

#include <cstdint>
#include <vector>

#include "core/document.h"
#include "core/sides_index.h"
#include "core/text_words.h"
#include "scoring/options.h"

struct ShingleResult {
  int32_t protected_count = 0;    // distinct shingles only the protected side holds
  int32_t unprotected_count = 0;  // ... only the unprotected side holds
  int32_t common_count = 0;       // ... both sides hold
  int64_t distinct = 0;           // the document's distinct shingles
  bool scaled = false;            // fewer than size_threshold: the threshold was scaled
  bool verdict = false;
  double score = 0.0;             // ShingleScore: >= max_threshold exactly when verdict
};

// Counts the distinct shingles of `length` words of a document's words in
// the joined shingle sets and applies the thresholds of the options.
ShingleResult JudgeShingles(const TextWords& words, int32_t length, const SidesIndex& shingles,
                            const ScoringOptions& scoring);
// The same for a document's distinct shingles.
ShingleResult JudgeDistinctShingles(const std::vector<Digest>& digests, const SidesIndex& shingles,
                                    const ScoringOptions& scoring);
ShingleResult JudgeDistinctShingles(const ShingleStream& stream, const SidesIndex& shingles,
                                    const ScoringOptions& scoring);

// The verdict for protected_count of distinct shingles: never for a
// document without shingles; otherwise at least max_threshold, or for documents of fewer than size_threshold distinct
// shingles, the threshold scaled by distinct / size_threshold. The scaled
// comparison is P * size_threshold >= distinct * max_threshold, in 64 bits so
// that large counts cannot overflow.
bool ShingleVerdict(int32_t protected_count, int64_t distinct, const ScoringOptions& scoring);

// P on the scale of max_threshold, to rank documents by: P itself for a
// document of at least size_threshold distinct shingles, P * size_threshold /
// distinct for a shorter one, and 0 for one without shingles, so that score
// >= max_threshold exactly when ShingleVerdict holds. A quotient that rounds
// across max_threshold (possible only when distinct * max_threshold is beyond
// 2^53) becomes max_threshold, or the double just below it; so does the 0 of
// a document without shingles when max_threshold is 0.
double ShingleScore(int32_t protected_count, int64_t distinct, const ScoringOptions& scoring);
