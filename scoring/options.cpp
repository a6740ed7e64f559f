#include "scoring/options.h"

#include "core/settings.h"

Options CurrentOptions() {
  Options options;
  options.text = CurrentTextOptions();
  options.scoring.lm = lm::CurrentSettings();
  options.scoring.exclusive_pairs = lm_sub;
  return options;
}
