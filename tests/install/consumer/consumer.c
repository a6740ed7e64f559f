/* Judges the text given as the second argument against the model directory
   given as the first, through the installed C header and library. */
#include <stdio.h>
#include <string.h>

#include <tessel.h>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  void* model = _openShingles(argv[1]);
  int verdict = _processShingles(model, argv[2], (int)strlen(argv[2]));
  _closeShingles(model);
  printf("%d\n", verdict);
  return 0;
}
