#include "core/text_options.h"

#include "core/builder.h"
#include "core/settings.h"
#include "core/shingle.h"

TextOptions CurrentTextOptions() {
  TextOptions options;
  options.shingle_length = CShingle::shingle_length;
  options.shingle_shift = CShingle::shingle_shift;
  options.stop_words = &Stopwords;
  options.upper_case = UpperCase;
  return options;
}
