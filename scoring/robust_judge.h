// The robust scan (--robust): a graded score that asks where a document's
// protected-only shingles sit and which protected file they come from, not
// only how many there are. A leak is a run of shingles of one protected file
// close together; coincidences with the protected set are scattered and from
// many files.
#pragma once

#include <cstdint>
#include <vector>

#include "core/chain_units.h"
#include "core/digest.h"
#include "core/provenance.h"
#include "core/sides_index.h"
#include "core/text_words.h"

// Consecutive links of a chain are at most this many shingle positions
// apart: one replaced word removes the 5 shingles that hold it, and a chain
// must survive that; at 10 positions coincidences begin to join.
inline constexpr int64_t kRobustGap = 6;
// A link that comes more than one position after the one before it stands
// for a word changed or dropped between them: it counts this many units, so
// that a reworded passage (every 5th word replaced leaves one 4-word unit in
// five) scores near a verbatim one of the same length, while a verbatim
// chain, whose links are one position apart, counts as before. Counting the
// whole gap instead lifts loosely paraphrased texts (a licence's variants)
// as much as leaks.
inline constexpr int64_t kRobustGapLink = 2;
// A run of units one position apart (text copied word for word) weighs this
// much more than a chain of the same length with gaps: a 25-word excerpt
// makes a run of 22 four-word units, which outweighs the chains that
// similar but reworded texts of the same family (a licence's variant, a
// changelog of a related package) make by adding up shorter pieces.
inline constexpr double kRobustVerbatimWeight = 1.3;
// A file's chains of at least this many units add up: a leak with a few
// words dropped or changed in a row, sentences moved or halves placed
// apart is several long chains of one file; coincidences make short ones.
inline constexpr int64_t kRobustSummedChain = 8;
// The default threshold: measured on the labelled benchmark (bench/quality)
// it lets through 0.15% of the negatives of the protected families (0.09% of
// all) and finds .964 of the leaks; 15 would find .993 and let through 1.36%.
inline constexpr double kRobustThreshold = 27;
// No protected file: a document without protected-only shingles.
inline constexpr uint32_t kNoFile = UINT32_MAX;

// Where the protected-only units of the scan come from: the model's
// shingles (their records, checked against the sides as they are looked up)
// and the shorter units, which hold only protected-only ones.
struct RobustSources {
  SourceFinder shingles;
  SourceFinder shorter;
  int32_t shorter_words = 0;  // 0: no shorter units
};

struct RobustResult {
  int64_t score = 0;          // the best file's chains, in distinct units
  int64_t protected_count = 0;  // distinct shingles only the protected side holds
  bool shorter = false;       // the score is of shorter units
  uint32_t file = kNoFile;    // the protected file of the score
  bool verdict = false;
};

// Judges a document's shingle digests and its shorter units (none for
// nullptr), both in text order, taken every `shift` words. A chain is a run of units of
// one kind that only the protected side holds, all held by one protected
// file, each at most kRobustGap positions after the one before; a unit the
// document held earlier keeps a chain going without lengthening it, and a
// link after a gap counts kRobustGapLink units. A
// file's score is the sum of its chains of kRobustSummedChain units or
// more, its longest chain where that is more, or its longest verbatim run
// times kRobustVerbatimWeight where that is more; the document's score
// is the best file's, of either kind of unit. Ties go to the longer
// units, then to the file first reached. The verdict is score >= threshold.
RobustResult JudgeRobust(const std::vector<Digest>& shingles, const UnitHasher* shorter,
                         int32_t shift, const SidesIndex& sides, const RobustSources& sources,
                         double threshold);
// The same for a document read into words (finished): its shingles of
// `shingle_length` words and its shorter units, in text order.
RobustResult JudgeRobustWords(const TextWords& words, int32_t shingle_length,
                              const SidesIndex& sides, const RobustSources& sources,
                              double threshold);
