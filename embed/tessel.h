/*
 * tessel: judge text buffers against a trained model from C or C++.
 *
 * A model directory holds the four shingle set files the tool saves in
 * language-model mode: p.bin, p.bin.2, u.bin and u.bin.2.
 *
 *     tessel_model *model = _openShingles("/srv/model");
 *     int protected_text = _processShingles(model, text, 0);
 *     _closeShingles(model);
 *
 * _openShingles(directory)
 *     Reads the four files named by appending "/p.bin", "/p.bin.2", "/u.bin"
 *     and "/u.bin.2" to the directory into memory of the model's own, so that
 *     whatever is done to the files later (truncated, copied over, replaced)
 *     never reaches an open model; files marked immutable (chattr +i) are
 *     mapped instead, and processes that open one such model share its
 *     memory. A file that is not a readable regular file is reported on
 *     standard error ("Error opening file: " and the path) and its part of
 *     the model stays empty; the handle is still valid. A directory whose
 *     last save was cut off between its renames (tessel.saving is still
 *     there) is reported ("Error: the model in DIR is incomplete: ...") and
 *     gives a handle of four empty sets. A save in progress is waited for. A
 *     NULL directory gives a handle of four empty sets without any message.
 *     The result is NULL only when memory runs out.
 * _processShingles(model, text, length)
 *     1 when the Windows-1251 or ASCII text reads like the protected
 *     material, else 0. A positive length is the size of the text in bytes:
 *     no byte beyond it is read, and a NUL inside it separates words like any
 *     other non-letter. A length of 0 or less means the text ends at its
 *     first NUL. A NULL model or text gives 0. The scoring may write its
 *     diagnostic lines to standard output and standard error.
 * _closeShingles(model)
 *     Releases the model; NULL is ignored.
 *
 * The settings below may be changed before _processShingles is called. These
 * three calls are not thread-safe: they must not overlap.
 *
 * The tessel_ interface further down judges buffers against one open model
 * from any number of threads at once, takes its settings per call, writes
 * nothing to the standard streams and reports failures to the caller.
 */
#ifndef TESSEL_H
#define TESSEL_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A loaded model; its layout is private to the library. */
typedef struct tessel_model tessel_model;

tessel_model *_openShingles(const char *directory);
int _processShingles(tessel_model *model, const char *text, int length);
void _closeShingles(tessel_model *model);

/* Function pointer types for hosts that resolve the calls with dlsym. */
typedef tessel_model *(*tessel_open_fn)(const char *directory);
typedef int (*tessel_process_fn)(tessel_model *model, const char *text, int length);
typedef void (*tessel_close_fn)(tessel_model *model);

/* Scoring settings with their initial values. */
extern double lm_threshold_1; /* 1.0: protected score that suffices alone */
extern double lm_threshold_2; /* 1.0: upper bound of the unprotected score */
extern int32_t lm_length;     /* 10: word pairs per window; 0 never flags */
extern double lm_lambda;      /* 0.0: additive smoothing */
extern double lm_lambda0;     /* 0.0: used by the tool's second formula only */
extern double lm_factor;      /* 0.0: margin of the protected score */
extern bool lm_log;           /* false: add logarithms instead of multiplying */
extern bool lm_sub;           /* false: read by the tool only */
extern bool UpperCase;        /* false: no effect */
extern bool Detailed;         /* false: tally every flagged phrase */
extern bool DetailedAll;      /* false: no effect */

/*
 * Thread-safe interface.
 *
 *     char *err = NULL;
 *     tessel_t *model = tessel_open("/srv/model", &err);
 *     if (model == NULL) { fprintf(stderr, "%s\n", err); tessel_free(err); ... }
 *     tessel_settings_t settings;
 *     tessel_settings_default(&settings);
 *     tessel_result_t result;
 *     if (tessel_judge(model, text, length, &settings, &result, &err) == 1)
 *       ... text[result.phrase_offset] .. is the phrase that decided ...
 *     tessel_close(model);
 *
 * Failures are reported LevelDB-style: a function that fails stores a
 * message in *errptr (freeing what was there) when errptr is not NULL; the
 * caller releases it with tessel_free. Nothing is written to standard output
 * or standard error.
 *
 * tessel_open(directory, errptr)
 *     Opens the model directory's p.bin, p.bin.2, u.bin and u.bin.2 (paths
 *     made and files read as for _openShingles). NULL with a message naming
 *     the file when one of them is missing, unreadable, not a regular file,
 *     or damaged (a size that is not a multiple of 16), or naming the
 *     directory when its last save did not finish.
 * tessel_settings_default(settings)
 *     Fills the settings with the tool's defaults.
 * tessel_judge(model, text, length, settings, result, errptr)
 *     Judges the length bytes at text (Windows-1251 or ASCII; never read
 *     beyond them; a NUL is a separator like any other non-letter) with the
 *     tool's first formula and returns 1 when the text reads like the
 *     protected material, 0 when not, -1 on failure (a NULL model, a NULL
 *     text with a non-zero length, or memory exhausted). NULL settings mean
 *     the defaults; result may be NULL. As everywhere in tessel, a word counts
 *     only when a non-letter byte follows it, so a word that runs to the very
 *     end of the buffer is left out; stop words loaded with the tool's
 *     LoadStopwords apply. Verdict and scores equal those of
 *     _processShingles with the same settings in the process-wide variables
 *     (and shingle_shift 1: this call always uses neighbouring words).
 *     Any number of threads may call it on one model at the same time.
 * tessel_close(model)
 *     Releases the model; NULL is ignored. No judge call may be running on it.
 * tessel_free(ptr)
 *     Releases a message stored through errptr.
 */
typedef struct tessel_t tessel_t;

/* The settings of the first formula: the ones it reads (lm_lambda0 and
 * Detailed do not change its verdict and are not here). */
typedef struct tessel_settings_t {
  double threshold_1; /* 1.0: protected score that suffices alone */
  double threshold_2; /* 1.0: upper bound of the unprotected score */
  int32_t length;     /* 10: word pairs per window; 0 never flags */
  double lambda;      /* 0.0: additive smoothing */
  double factor;      /* 0.0: margin of the protected score */
  int log;            /* 0: non-zero adds logarithms instead of multiplying */
} tessel_settings_t;

/* The deciding window is the first that passed the test. Without one the
 * verdict and the scores are 0 and the phrase is empty. The phrase is the
 * byte range of the buffer from its first word's first letter to its last
 * word's last letter (stop words and separators between them included);
 * offset and length are 0 when it holds no word (a window length of 1). */
typedef struct tessel_result_t {
  int verdict;              /* 1 protected, 0 not */
  double protected_score;   /* score of the protected side */
  double unprotected_score; /* score of the unprotected side */
  size_t phrase_offset;     /* byte offset of the hit phrase in the buffer */
  size_t phrase_length;     /* its length in bytes */
} tessel_result_t;

tessel_t *tessel_open(const char *directory, char **errptr);
void tessel_settings_default(tessel_settings_t *settings);
int tessel_judge(const tessel_t *model, const char *text, size_t length,
                 const tessel_settings_t *settings, tessel_result_t *result, char **errptr);
void tessel_close(tessel_t *model);
void tessel_free(void *ptr);

#ifdef __cplusplus
}
#endif

#endif /* TESSEL_H */
