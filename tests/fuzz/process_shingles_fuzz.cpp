// _processShingles on fuzzed buffers against a small model, with the scoring
// settings taken from the input as well (window lengths down to negative
// ones, logarithms on and off): the verdict is always 0 or 1, the same
// buffer read up to its NUL gives the same verdict, and tessel_judge with the
// same settings agrees.
#include "compat/shingle_file.h"
#include "embed/tessel.h"
#include "support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    WriteTextModel(FuzzWorkDir(), "secret plan alpha beta gamma delta secret plan \xE0\xE1\xE2 omega.\n",
                   "the weather today is fine and the plan is public alpha.\n");
    return std::string(FuzzWorkDir());
  }();
  static tessel_model* const model = _openShingles(dir.c_str());
  static const tessel_t* const shared = tessel_open(dir.c_str(), nullptr);
  FuzzInput input(data, size);
  lm_length = input.Pick(-2, 12);
  lm_log = input.Pick(0, 1) == 1;
  lm_lambda = input.Pick(0, 4) / 4.0;
  lm_factor = input.Pick(0, 2) - 1.0;
  Detailed = input.Pick(0, 1) == 1;
  const std::string text = input.Rest();  // std::string keeps a NUL after the bytes
  const int verdict = _processShingles(model, text.c_str(), static_cast<int>(text.size()));
  const tessel_settings_t settings{lm_threshold_1, lm_threshold_2, lm_length,
                                   lm_lambda,      lm_factor,      lm_log};
  if ((verdict != 0 && verdict != 1) ||
      (text.find('\0') == std::string::npos && _processShingles(model, text.c_str(), 0) != verdict) ||
      tessel_judge(shared, text.data(), text.size(), &settings, nullptr, nullptr) != verdict)
    abort();
  return 0;
}
