/*
 * A host program of the tessel C interface: opens a model directory and
 * prints, for each file named, the file name, a TAB and the verdict 1 or 0.
 *
 *     tessel-host [-l LIBRARY] [-w WINDOW] MODEL_DIR FILE...
 *
 * The dlopen build loads the library from -l, else from $TESSEL_LIBRARY, else
 * from the path it was built with. Built with TESSEL_HOST_LINKED defined, the
 * program is linked against the library instead and -l is not accepted.
 * -w sets the scoring window (lm_length) before any text is judged.
 */
#include <errno.h>
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

#ifdef TESSEL_HOST_LINKED
#define OPTIONS "w:"
static int load_api(const char *library, struct api *api) {
  (void)library;
  api->open = _openShingles;
  api->process = _processShingles;
  api->close = _closeShingles;
  api->length = &lm_length;
  return 0;
}
#else
#define OPTIONS "l:w:"
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
#endif

/* The whole file with a NUL after it; NULL when it cannot be read. */
static char *read_file(const char *path) {
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
      return text;
    }
  }
  fclose(file);
  free(text);
  return NULL;
}

static void usage(void) {
#ifdef TESSEL_HOST_LINKED
  fprintf(stderr, "usage: tessel-host-linked [-w WINDOW] MODEL_DIR FILE...\n");
#else
  fprintf(stderr, "usage: tessel-host [-l LIBRARY] [-w WINDOW] MODEL_DIR FILE...\n");
#endif
}

int main(int argc, char **argv) {
  const char *library = NULL;
  const char *window = NULL;
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
  if (load_api(library, &api) != 0) return 1;
  if (window != NULL) {
    char *end;
    long value = strtol(window, &end, 10);
    if (*end != '\0' || value < 1 || value > 1000000) {
      fprintf(stderr, "tessel-host: window must be a number from 1 to 1000000\n");
      return 2;
    }
    *api.length = (int32_t)value;
  }

  model = api.open(argv[optind]);
  if (model == NULL) {
    fprintf(stderr, "tessel-host: cannot open the model\n");
    return 1;
  }
  for (i = optind + 1; i < argc; ++i) {
    char *text = read_file(argv[i]);
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
