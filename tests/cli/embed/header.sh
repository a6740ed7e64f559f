# The embedding header compiles as C99 on its own, pedantic and warning-free.
echo '#include "tessel.h"' | cc -std=c99 -pedantic -Wall -Wextra -Werror -fsyntax-only -I"$SRC/embed" -x c -
