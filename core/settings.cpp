#include "core/settings.h"

extern "C" {
double lm_threshold_1 = 1.0;
double lm_threshold_2 = 1.0;
int32_t lm_length = 10;
double lm_lambda = 0.0;
double lm_lambda0 = 0.0;
double lm_factor = 0.0;
bool lm_log = false;
bool lm_sub = false;
bool UpperCase = false;
bool Detailed = false;
bool DetailedAll = false;
}
