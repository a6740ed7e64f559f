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
 *     1 when the text reads like the protected material, else 0. The text
 *     is read by the encoding rule the model's description (tessel.model)
 *     records, as the tool reads texts for a model it trained (by default
 *     auto: UTF-8 is decoded, Windows-1251 and ASCII read byte for byte);
 *     against a model without a description, byte for byte as Windows-1251
 *     or ASCII. A positive length is the size of the text in bytes:
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
extern bool lm_sub;           /* false: no effect (the tool has --lm-sub) */
extern bool UpperCase;        /* false: true upper-cases ASCII letters too */
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
 * or standard error. The kind of failure is kept as a code as well:
 * tessel_last_error_code() returns the code of the last failure of a call
 * made on the calling thread (also when errptr was NULL), one of the
 * TESSEL_ERROR_ values below, so that a host can tell a missing model from a
 * damaged one without reading the message. A call that succeeds leaves it
 * as it was, as errno is left. tessel_judge_many's failed items carry their
 * codes in their verdicts.
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
 *     Judges the length bytes at text (read by the model's encoding rule, as
 *     _processShingles reads them; never read beyond them; a NUL is a
 *     separator like any other non-letter) with the
 *     tool's first formula and returns 1 when the text reads like the
 *     protected material, 0 when not, -1 on failure (a NULL model, a NULL
 *     text with a non-zero length, or memory exhausted). NULL settings mean
 *     the defaults; result may be NULL. As everywhere in tessel, a word counts
 *     only when a non-letter byte follows it, so a word that runs to the very
 *     end of the buffer is left out; stop words loaded with the tool's
 *     LoadStopwords apply, and so does UpperCase. Verdict and scores equal
 *     those of _processShingles with the same settings in the process-wide
 *     variables (and shingle_shift 1: this call always uses neighbouring
 *     words).
 *     Any number of threads may call it on one model at the same time.
 * tessel_close(model)
 *     Releases the model; NULL is ignored. No judge call may be running on it.
 * tessel_free(ptr)
 *     Releases a message stored through errptr.
 */
typedef struct tessel_t tessel_t;

/* The codes of tessel_last_error_code and of a failed item's verdict. */
enum {
  TESSEL_OK = 0,
  TESSEL_ERROR_NOT_FOUND = 1,        /* a model file or directory does not exist */
  TESSEL_ERROR_NOT_DIRECTORY = 2,    /* the model path is not a directory */
  TESSEL_ERROR_DAMAGED = 3,          /* a damaged model file or description */
  TESSEL_ERROR_MIXED = 4,            /* files that do not match their description */
  TESSEL_ERROR_INCOMPLETE_SAVE = 5,  /* the model's last save did not finish */
  TESSEL_ERROR_OUT_OF_MEMORY = 6,
  TESSEL_ERROR_IO = 7,               /* any other failure to read */
  TESSEL_ERROR_INVALID_ARGUMENT = 8, /* a NULL argument, an option out of range,
                                        settings the model was not trained with */
  TESSEL_ERROR_PREPROCESSOR = 9,     /* a converter program failed or ran out of time */
  TESSEL_ERROR_INTERNAL = 10,        /* a failure the library did not foresee */
  TESSEL_ERROR_BINARY = 11           /* skipped, not judged: a document that is not text
                                        (a NUL byte in its first 8 KiB) and no converter
                                        for it; judge_binary judges it anyway */
};

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
int tessel_last_error_code(void);

/*
 * Everything the tool judges, from any host.
 *
 *     tessel_open_options_t open;
 *     tessel_open_options_default(&open);
 *     open.mode = TESSEL_MODE_SHINGLES;
 *     tessel_t *model = tessel_open_with("/srv/model", &open, &err);
 *     tessel_judge_options_t judge;
 *     tessel_judge_options_default(&judge);
 *     tessel_verdict_t verdict;
 *     tessel_verdict_init(&verdict);
 *     int flagged = tessel_judge_file(model, "/srv/mail/1.txt", &judge, &verdict, &err);
 *
 * The option, verdict and item structs are versioned: their first member is
 * the size of the struct as the host was compiled, which the _default and
 * _init macros set. Later versions of the library only add members at the
 * end; the library reads and writes no byte beyond the size the host gave,
 * and takes the default for every member the host's struct lacks. A NULL
 * options pointer means the defaults.
 *
 * tessel_open_with(directory, options, errptr)
 *     Opens a model directory saved by the tool in the options' mode: in
 *     shingle mode p.bin and u.bin (the shingles of both sides), in
 *     language-model mode all four files, as tessel_open does. The text
 *     options (shingle length and shift, stop words, encoding, upper case)
 *     are those the model was trained with; every judge call on the handle
 *     reads texts, and the stop-word file, with them. The encoding left at
 *     its default (TESSEL_ENCODING_MODEL), or NULL options, takes the rule
 *     from the model's description; NULL options take its mode, shingle
 *     length and shift from there too.
 *     The robust mode (TESSEL_MODE_ROBUST) reads p.bin and u.bin, the
 *     sources file and the chains file of a model trained with --robust -v,
 *     as the tool's --robust does; a model trained otherwise is refused
 *     (TESSEL_ERROR_INVALID_ARGUMENT). With the sources option, a model
 *     saved without tessel.sources opens and names no source; one whose
 *     sources file is damaged or of other records is refused
 *     (TESSEL_ERROR_DAMAGED).
 *     NULL with a message when a file (a model file or the stop-word file)
 *     cannot be used.
 * tessel_judge_text(model, text, length, options, verdict, errptr)
 *     Judges length bytes at text (never read beyond them; NUL separates
 *     words like any other non-letter) as the tool judges a data file with
 *     the same settings: 1 protected, 0 not, -1 on failure (a NULL text
 *     with a non-zero length, refused options). A NULL text with length 0
 *     is the empty text. verdict may be NULL. Nothing is written to the
 *     standard streams.
 * tessel_judge_file(model, path, options, verdict, errptr)
 *     The same for a file, opened as the tool opens data files (never waiting
 *     on a FIFO); a file that cannot be read gives -1 and a message naming it.
 *     As the tool reads a data file: a converter the options name for the
 *     path's extension is run on it and its output judged (a converter that
 *     fails, or runs out of time, gives -1, TESSEL_ERROR_PREPROCESSOR and
 *     the tool's message); a document that is not text gives -1 and
 *     TESSEL_ERROR_BINARY ("PATH: binary file ..., not judged") instead of
 *     a verdict on its bytes, unless judge_binary is set.
 * tessel_judge_buffer(model, data, length, name, options, verdict, errptr)
 *     The same for length bytes at data, which name describes: a file name
 *     (its extension chooses the converter) or a media type (matched whole,
 *     parameters after ";" left out); NULL or "" for none. A converter gets
 *     the bytes in a temporary file, created afresh (O_EXCL) in a private
 *     directory of its own under $TMPDIR (or /tmp), named by the
 *     extension, and removed with it afterwards; messages name the document
 *     by name. Without a converter the bytes are judged as tessel_judge_text
 *     judges them, after the binary check.
 * tessel_source_name(model, index)
 *     The path of the model's protected file of that index (a verdict's
 *     source), owned by the handle; NULL for an index it does not have.
 * tessel_judge_many(model, items, count, options, verdicts, errors, threads, errptr)
 *     Judges count items (each a path, or a buffer when path is NULL) with up
 *     to `threads` threads (0: one per processor the process may run on, as
 *     the tool's -j counts them: its CPU affinity). verdicts[i] gets
 *     item i's verdict; verdicts[0].size, set by tessel_verdict_init on every
 *     element, is the array's stride. When errors is not NULL, errors[i] is
 *     NULL for an item judged and a message (to free with tessel_free) for an
 *     item that failed (a file that cannot be read, a NULL path and text with
 *     a non-zero length). A path is judged as tessel_judge_file judges it
 *     (a binary one fails with TESSEL_ERROR_BINARY), a buffer as
 *     tessel_judge_text does. A failed item's verdict member is -1 and its
 *     error_code member (in a struct that has one) says why. Returns the
 *     number of failed items, or -1 with a message in *errptr when the call
 *     itself is wrong (a NULL model, items or verdicts with a count above 0,
 *     an item or verdict size too small, refused options), or when memory
 *     runs out before any item is judged.
 * All calls on an open handle may run at the same time from any threads;
 * handles of different options live side by side.
 *
 * A document judged as it arrives, a piece at a time, for a host that
 * receives it in pieces (a network body) and should not hold it whole:
 *
 *     tessel_stream_t *stream = tessel_stream_open(model, "text/plain", &judge, &err);
 *     while ((got = read(fd, chunk, sizeof chunk)) > 0)
 *       if (tessel_stream_write(stream, chunk, got, &err) < 0) break;
 *     int flagged = tessel_stream_finish(stream, &verdict, &err);
 *     tessel_stream_close(stream);
 *
 * tessel_stream_open(model, name, options, errptr)
 *     Starts a document that name describes, as tessel_judge_buffer's name
 *     does (a file name or media type; NULL or "" for none). NULL with a
 *     message when the model or the options are refused, or when the
 *     temporary file of a document to convert cannot be made. The model must
 *     stay open until the stream is closed.
 * tessel_stream_write(stream, data, length, errptr)
 *     Adds the next length bytes of the document; 0, or -1 on failure (a
 *     NULL stream, a NULL data with a non-zero length, a finished stream, a
 *     temporary file that cannot be written, memory exhausted), after which
 *     every later write and the finish fail with the same message. The bytes
 *     are read at once and not kept: a word, a UTF-8 character or a line
 *     cut between two writes is carried over to the next. Memory then stays
 *     that of a window of words in language-model mode (without sources),
 *     and that of the document's distinct shingles in shingle mode; the
 *     robust mode keeps the document's words for its chains. A document a
 *     converter is configured for is written unread to an unnamed temporary
 *     file (O_TMPFILE) under $TMPDIR (or /tmp), converted when it ends.
 *     Once the first 8 KiB have shown a document that is not text, the rest
 *     is not read.
 * tessel_stream_finish(stream, verdict, errptr)
 *     Ends the document and judges it: 1, 0 or -1 and the verdict exactly as
 *     tessel_judge_buffer gives them for the same bytes with the same name
 *     and options, however they were cut into writes (a binary document,
 *     a failed converter: -1 with its code). The stream's memory and
 *     temporary file are released; only the handle remains for close.
 * tessel_stream_close(stream)
 *     Releases a stream, finished or not (a stream not finished is
 *     abandoned, its temporary file removed); NULL is ignored.
 * A stream is used by one thread at a time; any number of streams may be
 * open on one model at once.
 */
enum {
  TESSEL_MODE_SHINGLES = 0,       /* count shingles only the protected side holds */
  TESSEL_MODE_LANGUAGE_MODEL = 1, /* word and pair scores over a sliding window */
  TESSEL_MODE_ROBUST = 2          /* the tool's --robust: chains of protected-only shingles
                                     from one protected file, on a model trained with
                                     --robust -v (case folded: upper_case is implied) */
};

/* How texts are read (the tool's --encoding). UTF-8 is decoded and every
 * character Windows-1251 has is read as its byte there, any other character
 * as a separator, so a text judges the same in either encoding; phrase
 * offsets are byte offsets in the text as given. */
enum {
  TESSEL_ENCODING_AUTO = 0,   /* UTF-8 when the text starts with a byte-order mark or
                                 is valid UTF-8 with a multi-byte character */
  TESSEL_ENCODING_UTF8 = 1,
  TESSEL_ENCODING_CP1251 = 2, /* byte for byte */
  TESSEL_ENCODING_MODEL = 3   /* the rule the model's description (tessel.model)
                                 records; TESSEL_ENCODING_AUTO without one */
};

/* Every member is 8 bytes wide, so that no struct has padding a later
 * member could fall into. */
typedef struct tessel_open_options_t {
  size_t size;             /* the struct's size as the host was compiled */
  int64_t mode;            /* TESSEL_MODE_SHINGLES: the tool's default mode */
  int64_t shingle_length;  /* 5: words per shingle in shingle mode; at least 1 */
  int64_t shingle_shift;   /* 1: words between the starts of shingles; at least 1 */
  const char *stop_words;  /* NULL: none; else a file of white-space separated words */
  int64_t exclusive_pairs; /* 0: non-zero drops the pairs both sides hold (--lm-sub) */
  int64_t encoding;        /* TESSEL_ENCODING_MODEL: as the model was trained */
  int64_t upper_case;      /* 0: non-zero upper-cases ASCII letters too (-c) */
  int64_t sources;         /* 0: non-zero reads the model's tessel.sources, so that
                              verdicts name the protected file a document shares most
                              with (the tool's --sources=1); the robust mode always does */
} tessel_open_options_t;

typedef struct tessel_judge_options_t {
  size_t size;            /* the struct's size as the host was compiled */
  int64_t formula;        /* 1: language-model mode's formula: 1, 2, or 3 and above */
  double threshold_1;     /* 1.0: protected score that suffices alone */
  double threshold_2;     /* 1.0: upper bound of the unprotected score */
  int64_t length;         /* 10: word pairs per window; 0 never flags */
  double lambda;          /* 0.0: additive smoothing */
  double lambda0;         /* 0.0: the second formula's interpolation weight */
  double factor;          /* 0.0: margin of the protected score */
  int64_t log;            /* 0: non-zero adds logarithms instead of multiplying */
  int64_t max_threshold;  /* 10: shingle mode's threshold (-m) */
  int64_t size_threshold; /* 100: distinct shingles below which it is scaled */
  double robust_threshold; /* 27: the chain that flags a document in the robust mode
                              (--robust-threshold; the calibrated default) */
  /* Converters, as the tool's --pre: NULL, or an array of "KEY=PROGRAM"
   * strings ended by NULL. KEY is a file name extension (".pdf", compared
   * without regard to case) or a media type ("application/pdf"); PROGRAM is
   * run with the document's path as its one argument (looked up on PATH
   * unless it holds a "/") and its standard output is judged. */
  const char *const *converters;
  double converter_timeout; /* 60: seconds a converter may run (--pre-timeout); 0: no limit */
  int64_t judge_binary;     /* 0: a document with a NUL byte in its first 8 KiB gets
                               TESSEL_ERROR_BINARY; non-zero judges it (--binary) */
  int64_t score;            /* 0: in language-model mode the verdict's score is NaN;
                               non-zero scores every window for it, as the tool's JSON
                               does (slower: the first formula's pruning and the stop
                               after the first hit are given up). The other modes
                               always fill it. */
} tessel_judge_options_t;

typedef struct tessel_verdict_t {
  size_t size;               /* the struct's size as the host was compiled */
  int64_t verdict;           /* 1 protected, 0 not, -1 failed (tessel_judge_many) */
  /* Shingle mode: the tool's P, U and C columns, the distinct shingles and
   * whether the threshold was scaled (fewer distinct shingles than
   * size_threshold: the threshold applied is max_threshold * distinct /
   * size_threshold, as the tool prints it). */
  int64_t protected_count;
  int64_t unprotected_count;
  int64_t common_count;
  int64_t distinct;
  int64_t scaled;
  /* Language-model mode: the deciding window, as in tessel_result_t. */
  double protected_score;
  double unprotected_score;
  size_t phrase_offset;
  size_t phrase_length;
  /* A failed item's TESSEL_ERROR_ code (tessel_judge_many), else 0. */
  int64_t error_code;
  /* The graded quantity the verdict thresholds, as the tool's JSON "score":
   * shingle mode P on the scale of max_threshold (P, or P * size_threshold /
   * distinct for a short document; verdict exactly when score >=
   * max_threshold); language-model mode, with the score option, the best
   * window's margin (>= 0 exactly for a hit; NaN when the formula scored no
   * window, or without the option); the robust mode the longest chain
   * (verdict when >= robust_threshold). */
  double score;
  /* The protected file the document shares most with: its index among the
   * model's protected files (tessel_source_name) or -1 when none is named
   * (the handle has no sources, or nothing is shared), the shingles (pairs;
   * the robust mode: the chain's length) it shares, and its path as the
   * model's training named it, owned by the handle (valid until
   * tessel_close). */
  int64_t source;
  int64_t source_shared;
  const char *source_name;
} tessel_verdict_t;

typedef struct tessel_item_t {
  size_t size;      /* sizeof(tessel_item_t) in every element: the array's stride */
  const char *path; /* a file to judge, or NULL to judge the buffer */
  const char *text; /* the buffer when path is NULL */
  size_t length;    /* its length in bytes */
} tessel_item_t;

/* Fill the members the host's struct has with their defaults (the macros
 * pass the host's size). */
void tessel_open_options_init(tessel_open_options_t *options, size_t size);
void tessel_judge_options_init(tessel_judge_options_t *options, size_t size);
void tessel_verdict_init_sized(tessel_verdict_t *verdict, size_t size);
#define tessel_open_options_default(options) \
  tessel_open_options_init((options), sizeof *(options))
#define tessel_judge_options_default(options) \
  tessel_judge_options_init((options), sizeof *(options))
#define tessel_verdict_init(verdict) tessel_verdict_init_sized((verdict), sizeof *(verdict))

tessel_t *tessel_open_with(const char *directory, const tessel_open_options_t *options,
                           char **errptr);
int tessel_judge_text(const tessel_t *model, const char *text, size_t length,
                      const tessel_judge_options_t *options, tessel_verdict_t *verdict,
                      char **errptr);
int tessel_judge_file(const tessel_t *model, const char *path,
                      const tessel_judge_options_t *options, tessel_verdict_t *verdict,
                      char **errptr);
long tessel_judge_many(const tessel_t *model, const tessel_item_t *items, size_t count,
                       const tessel_judge_options_t *options, tessel_verdict_t *verdicts,
                       char **errors, int threads, char **errptr);
int tessel_judge_buffer(const tessel_t *model, const char *data, size_t length,
                        const char *name, const tessel_judge_options_t *options,
                        tessel_verdict_t *verdict, char **errptr);
const char *tessel_source_name(const tessel_t *model, int64_t index);

typedef struct tessel_stream_t tessel_stream_t;
tessel_stream_t *tessel_stream_open(const tessel_t *model, const char *name,
                                    const tessel_judge_options_t *options, char **errptr);
int tessel_stream_write(tessel_stream_t *stream, const char *data, size_t length, char **errptr);
int tessel_stream_finish(tessel_stream_t *stream, tessel_verdict_t *verdict, char **errptr);
void tessel_stream_close(tessel_stream_t *stream);

#ifdef __cplusplus
}
#endif

#endif /* TESSEL_H */
