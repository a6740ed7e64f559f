#include "compat/settings.h"

#include "compat/builder.h"
#include "compat/shingle.h"

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

TextOptions CurrentTextOptions() {
  TextOptions options;
  options.shingle_length = CShingle::shingle_length;
  options.shingle_shift = CShingle::shingle_shift;
  return WithProcessWideWords(options);
}

TextOptions WithProcessWideWords(TextOptions text) {
  text.stop_words = &Stopwords;
  text.upper_case = UpperCase;
  return text;
}

namespace lm {

Settings CurrentSettings() {
  Settings settings;
  settings.threshold_1 = lm_threshold_1;
  settings.threshold_2 = lm_threshold_2;
  settings.length = lm_length;
  settings.lambda = lm_lambda;
  settings.lambda0 = lm_lambda0;
  settings.factor = lm_factor;
  settings.log = lm_log;
  settings.detailed = Detailed;
  return settings;
}

}  // namespace lm

Options CurrentOptions() {
  Options options;
  options.text = CurrentTextOptions();
  options.scoring.lm = lm::CurrentSettings();
  options.scoring.exclusive_pairs = lm_sub;
  return options;
}

void PublishSettings(const Options& options, bool detailed_all) {
  const lm::Settings& lm = options.scoring.lm;
  lm_threshold_1 = lm.threshold_1;
  lm_threshold_2 = lm.threshold_2;
  lm_length = lm.length;
  lm_lambda = lm.lambda;
  lm_lambda0 = lm.lambda0;
  lm_factor = lm.factor;
  lm_log = lm.log;
  lm_sub = options.scoring.exclusive_pairs;
  Detailed = lm.detailed;
  DetailedAll = detailed_all;
  UpperCase = options.text.upper_case;
  CShingle::shingle_length = options.text.shingle_length;
  CShingle::shingle_shift = options.text.shingle_shift;
}
