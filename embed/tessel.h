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
 *     Maps the four files named by appending "/p.bin", "/p.bin.2", "/u.bin"
 *     and "/u.bin.2" to the directory, read-only: processes that open one
 *     model share its memory. A file that is not a readable regular file is
 *     reported on standard error ("Error opening file: " and the path) and its
 *     part of the model stays empty; the handle is still valid. A NULL
 *     directory gives a handle of four empty sets without any message. The
 *     result is NULL only when memory runs out.
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
 * The settings below may be changed before _processShingles is called. The
 * library is not thread-safe: calls must not overlap.
 */
#ifndef TESSEL_H
#define TESSEL_H

#include <stdbool.h>
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

#ifdef __cplusplus
}
#endif

#endif /* TESSEL_H */
