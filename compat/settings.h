// Process-wide settings of the scoring formulas and the text reading, kept
// for the callers of the exported functions, and their reading into the
// values the engine takes. A host sets them before its calls; C linkage lets
// a C host set them by name. Only this layer reads them: the tool takes its
// options as a value and leaves them at their initial values.
#pragma once

#include <cstdint>

#include "scoring/options.h"

extern "C" {
extern double lm_threshold_1;  // protected score that suffices by itself
extern double lm_threshold_2;  // upper bound for the unprotected score
extern int32_t lm_length;      // window length of the formulas
extern double lm_lambda;
extern double lm_lambda0;
extern double lm_factor;       // margin of the protected score
extern bool lm_log;            // add logarithms instead of multiplying
extern bool lm_sub;            // make the trained pair sets exclusive
extern bool UpperCase;         // upper-case ASCII letters too
extern bool Detailed;          // list matching shingles
extern bool DetailedAll;       // accepted for compatibility; acts as Detailed
}


// The process-wide settings (CShingle::shingle_length, shingle_shift,
// Stopwords and UpperCase) as they are now, read byte for byte: what the
// single-threaded C interface and the exported builds read at each call.
TextOptions CurrentTextOptions();
// The process-wide settings that apply to every text a C interface reads,
// over `text`: the stop words (Stopwords, which LoadStopwords fills; pointed
// to, so read as they are when a text is read) and UpperCase. The
// thread-safe interface reads them here when it opens a model and at each
// judging call, since a host may change them in between.
TextOptions WithProcessWideWords(TextOptions text);
namespace lm {
// The process-wide settings (lm_threshold_1, ..., Detailed) as they are now.
Settings CurrentSettings();
}  // namespace lm
// Stores a parsed command line's settings in the process-wide settings, as
// the exported main has always left them for a host that calls it in its
// own process (and then the old functions): the language-model settings,
// the shingle length and shift, UpperCase, Detailed and DetailedAll. The
// tool itself reads only the value.
void PublishSettings(const Options& options, bool detailed_all);
// All of them; formula and shingle-mode thresholds, which have no
// process-wide variable, keep their defaults.
Options CurrentOptions();
