/* Compiled as C: the public header needs nothing included before it. */
#include "tessel.h"

int tessel_header_check(void) { return lm_length > 0 && !lm_log; }
