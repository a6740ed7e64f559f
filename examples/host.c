/*
 * A host program of the tessel C interface: opens a model directory and
 * prints, for each file named, the file name, a TAB and the verdict 1 or 0.
 *
 *     tessel-host [-l LIBRARY] [-w WINDOW] [-t THREADS] MODEL_DIR FILE...
 *
 * The dlopen build loads the library from -l, else from $TESSEL_LIBRARY, else
 * from the path it was built with. Built with TESSEL_HOST_LINKED defined, the
 * program is linked against the library instead and -l is not accepted.
 * -w sets the scoring window (lm_length) before any text is judged.
 * -t judges with the thread-safe tessel_ interface on THREADS threads that
 * share one model; each verdict line then also holds the two scores of the
 * deciding window and its phrase, and a broken model stops the program.
 */
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "tessel.h"

#ifndef TESSEL_HOST_LINKED
#include <dlfcn.h>
#ifndef TESSEL_DEFAULT_LIBRARY
#define TESSEL_DEFAULT_LIBRARY "libtessel.so"
#endif
#endif

struct api {
  tessel_open_fn open;
  tessel_process_fn process;
  tessel_close_fn close;
  int32_t *length;
};

/* The thread-safe interface, resolved only for -t. */
struct safe_api {
  tessel_t *(*open)(const char *directory, char **errptr);
  void (*settings_default)(tessel_settings_t *settings);
  int (*judge)(const tessel_t *model, const char *text, size_t length,
               const tessel_settings_t *settings, tessel_result_t *result, char **errptr);
  void (*close)(tessel_t *model);
  void (*free)(void *ptr);
};

#ifdef TESSEL_HOST_LINKED
#define OPTIONS "t:w:"
static int load_api(const char *library, struct api *api) {
  (void)library;
  api->open = _openShingles;
  api->process = _processShingles;
  api->close = _closeShingles;
  api->length = &lm_length;
  return 0;
}

static int load_safe_api(const char *library, struct safe_api *api) {
  (void)library;
  api->open = tessel_open;
  api->settings_default = tessel_settings_default;
  api->judge = tessel_judge;
  api->close = tessel_close;
  api->free = tessel_free;
  return 0;
}
#else
#define OPTIONS "l:t:w:"
/* Object pointers from dlsym become function pointers through memcpy, which
 * ISO C allows where a cast between the two would not be. */
static int resolve(void *library, const char *name, void *target, size_t size) {
  void *symbol = dlsym(library, name);
  if (symbol == NULL) {
    fprintf(stderr, "tessel-host: %s\n", dlerror());
    return -1;
  }
  memcpy(target, &symbol, size);
  return 0;
}

static int load_api(const char *path, struct api *api) {
  void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "tessel-host: %s\n", dlerror());
    return -1;
  }
  if (resolve(library, "_openShingles", &api->open, sizeof api->open) != 0 ||
      resolve(library, "_processShingles", &api->process, sizeof api->process) != 0 ||
      resolve(library, "_closeShingles", &api->close, sizeof api->close) != 0 ||
      resolve(library, "lm_length", &api->length, sizeof api->length) != 0)
    return -1;
  return 0;
}

static int load_safe_api(const char *path, struct safe_api *api) {
  void *library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "tessel-host: %s\n", dlerror());
    return -1;
  }
  if (resolve(library, "tessel_open", &api->open, sizeof api->open) != 0 ||
      resolve(library, "tessel_settings_default", &api->settings_default,
              sizeof api->settings_default) != 0 ||
      resolve(library, "tessel_judge", &api->judge, sizeof api->judge) != 0 ||
      resolve(library, "tessel_close", &api->close, sizeof api->close) != 0 ||
      resolve(library, "tessel_free", &api->free, sizeof api->free) != 0)
    return -1;
  return 0;
}
#endif

/* The whole file with a NUL after it; NULL when it cannot be read. Its size
 * goes to *size_out when that is not NULL. */
static char *read_file(const char *path, size_t *size_out) {
  FILE *file = fopen(path, "rb");
  char *text = NULL;
  size_t size = 0;
  size_t capacity = 0;
  if (file == NULL) return NULL;
  for (;;) {
    size_t got;
    if (capacity - size < 65536) {
      char *grown = realloc(text, capacity + 65536 + 1);
      if (grown == NULL) {
        errno = ENOMEM;
        break;
      }
      text = grown;
      capacity += 65536;
    }
    got = fread(text + size, 1, capacity - size, file);
    size += got;
    if (got == 0) {
      if (ferror(file)) break;
      fclose(file);
      text[size] = '\0';
      if (size_out != NULL) *size_out = size;
      return text;
    }
  }
  fclose(file);
  free(text);
  return NULL;
}

static void usage(void) {
#ifdef TESSEL_HOST_LINKED
  fprintf(stderr, "usage: tessel-host-linked [-w WINDOW] [-t THREADS] MODEL_DIR FILE...\n");
#else
  fprintf(stderr, "usage: tessel-host [-l LIBRARY] [-w WINDOW] [-t THREADS] MODEL_DIR FILE...\n");
#endif
}

/* One file of the -t mode: read by the main thread, judged by a worker. */
struct job {
  const char *name;
  char *text;
  size_t size;
  int error; /* errno of reading, or 0 */
  int verdict;
  tessel_result_t result;
};

struct worker {
  pthread_t thread;
  const struct safe_api *api;
  const tessel_t *model;
  const tessel_settings_t *settings;
  struct job *jobs;
  int count;
  int first; /* this worker takes jobs first, first + step, ... */
  int step;
};

static void *judge_jobs(void *argument) {
  struct worker *worker = argument;
  int i;
  for (i = worker->first; i < worker->count; i += worker->step) {
    struct job *job = &worker->jobs[i];
    if (job->text == NULL) continue;
    job->verdict = worker->api->judge(worker->model, job->text, job->size,
                                      worker->settings, &job->result, NULL);
  }
  return NULL;
}

/* The phrase of a result with everything but printable ASCII and
 * Windows-1251 letters shown as a space, so that it stays on one line. */
static void print_phrase(const char *text, const tessel_result_t *result) {
  size_t i;
  for (i = 0; i < result->phrase_length; ++i) {
    unsigned char byte = (unsigned char)text[result->phrase_offset + i];
    putchar(byte >= 0x20 && byte != 0x7f ? byte : ' ');
  }
}

static int run_threads(const char *library, const char *directory, char **files, int count,
                       int threads, long window) {
  struct safe_api api;
  struct job *jobs;
  struct worker *workers;
  tessel_settings_t settings;
  tessel_t *model;
  char *error = NULL;
  int status = 0;
  int i;

  if (load_safe_api(library, &api) != 0) return 1;
  model = api.open(directory, &error);
  if (model == NULL) {
    fprintf(stderr, "tessel-host: %s\n", error != NULL ? error : "cannot open the model");
    api.free(error);
    return 1;
  }
  api.settings_default(&settings);
  if (window != 0) settings.length = (int32_t)window;
  jobs = calloc((size_t)count + 1, sizeof *jobs);
  workers = calloc((size_t)threads, sizeof *workers);
  if (jobs == NULL || workers == NULL) {
    fprintf(stderr, "tessel-host: %s\n", strerror(ENOMEM));
    status = 1;
    threads = 0;
    count = 0;
  }
  for (i = 0; i < count; ++i) {
    jobs[i].name = files[i];
    jobs[i].text = read_file(files[i], &jobs[i].size);
    if (jobs[i].text == NULL) jobs[i].error = errno;
  }
  for (i = 0; i < threads; ++i) {
    struct worker *worker = &workers[i];
    worker->api = &api;
    worker->model = model;
    worker->settings = &settings;
    worker->jobs = jobs;
    worker->count = count;
    worker->first = i;
    worker->step = threads;
    if (pthread_create(&worker->thread, NULL, judge_jobs, worker) != 0) {
      judge_jobs(worker); /* no thread: judge its share here */
      worker->step = 0;
    }
  }
  for (i = 0; i < threads; ++i)
    if (workers[i].step != 0) pthread_join(workers[i].thread, NULL);
  for (i = 0; i < count; ++i) {
    if (jobs[i].text == NULL) {
      fprintf(stderr, "tessel-host: %s: %s\n", jobs[i].name, strerror(jobs[i].error));
      status = 1;
      continue;
    }
    printf("%s\t%d\t%g\t%g\t", jobs[i].name, jobs[i].verdict, jobs[i].result.protected_score,
           jobs[i].result.unprotected_score);
    print_phrase(jobs[i].text, &jobs[i].result);
    putchar('\n');
    free(jobs[i].text);
  }
  free(jobs);
  free(workers);
  api.close(model);
  return status;
}

int main(int argc, char **argv) {
  const char *library = NULL;
  const char *window = NULL;
  const char *threads = NULL;
  long window_length = 0;
  struct api api;
  tessel_model *model;
  int status = 0;
  int option;
  int i;

  while ((option = getopt(argc, argv, OPTIONS)) != -1) {
    if (option == 'l') {
      library = optarg;
    } else if (option == 'w') {
      window = optarg;
    } else if (option == 't') {
      threads = optarg;
    } else {
      usage();
      return 2;
    }
  }
  if (argc - optind < 1) {
    usage();
    return 2;
  }
#ifndef TESSEL_HOST_LINKED
  if (library == NULL) library = getenv("TESSEL_LIBRARY");
  if (library == NULL || *library == '\0') library = TESSEL_DEFAULT_LIBRARY;
#endif
  if (window != NULL) {
    char *end;
    window_length = strtol(window, &end, 10);
    if (*end != '\0' || window_length < 1 || window_length > 1000000) {
      fprintf(stderr, "tessel-host: window must be a number from 1 to 1000000\n");
      return 2;
    }
  }
  if (threads != NULL) {
    char *end;
    long value = strtol(threads, &end, 10);
    if (*end != '\0' || value < 1 || value > 1024) {
      fprintf(stderr, "tessel-host: threads must be a number from 1 to 1024\n");
      return 2;
    }
    return run_threads(library, argv[optind], argv + optind + 1, argc - optind - 1, (int)value,
                       window_length);
  }
  if (load_api(library, &api) != 0) return 1;
  if (window != NULL) *api.length = (int32_t)window_length;

  model = api.open(argv[optind]);
  if (model == NULL) {
    fprintf(stderr, "tessel-host: cannot open the model\n");
    return 1;
  }
  for (i = optind + 1; i < argc; ++i) {
    char *text = read_file(argv[i], NULL);
    if (text == NULL) {
      fprintf(stderr, "tessel-host: %s: %s\n", argv[i], strerror(errno));
      status = 1;
      continue;
    }
    printf("%s\t%d\n", argv[i], api.process(model, text, (int)strlen(text)));
    fflush(stdout);
    free(text);
  }
  api.close(model);
  return status;
}
