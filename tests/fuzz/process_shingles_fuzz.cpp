// _processShingles on fuzzed buffers against a small model, with the scoring
// settings taken from the input as well (window lengths down to negative
// ones, logarithms on and off): the verdict is always 0 or 1, the same
// buffer gives the same verdict twice, and tessel_judge with the same
// settings agrees.
#include <sstream>
#include <vector>

#include "core/builder.h"
#include "core/set_file.h"
#include "core/settings.h"
#include "embed/tessel.h"
#include "support/test_support.h"

namespace {

void Train(const std::string& dir, const std::string& name, const std::string& text) {
  for (int n : {1, 2}) {
    CShingleSet set;
    std::istringstream in(text);
    _BuildShingles(in, set, n);
    saveShinglesToFile(dir + "/" + name + (n == 2 ? ".bin.2" : ".bin"), set);
  }
}

tessel_model* Model() {
  static tessel_model* model = [] {
    const std::string dir(FuzzWorkDir());
    Train(dir, "p", "secret plan alpha beta gamma delta secret plan \xE0\xE1\xE2 omega.\n");
    Train(dir, "u", "the weather today is fine and the plan is public alpha.\n");
    return _openShingles(dir.c_str());
  }();
  return model;
}

const tessel_t* SharedModel() {
  static const tessel_t* model = (Model(), tessel_open(FuzzWorkDir(), nullptr));
  return model;
}

tessel_settings_t CurrentSettings() {
  tessel_settings_t settings{lm_threshold_1, lm_threshold_2, lm_length, lm_lambda, lm_factor,
                             lm_log ? 1 : 0};
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessel_model* model = Model();
  FuzzInput input(data, size);
  lm_length = input.Pick(-2, 12);
  lm_log = input.Pick(0, 1) == 1;
  lm_lambda = input.Pick(0, 4) / 4.0;
  lm_factor = input.Pick(0, 2) - 1.0;
  Detailed = input.Pick(0, 1) == 1;
  const std::string rest = input.Rest();
  std::vector<char> text(rest.begin(), rest.end());
  text.push_back('\0');
  const int verdict = _processShingles(model, text.data(), static_cast<int>(rest.size()));
  if (verdict != 0 && verdict != 1) abort();
  // Read up to its NUL, the text is the same only when it holds no other.
  if (rest.find('\0') == std::string::npos && _processShingles(model, text.data(), 0) != verdict)
    abort();
  const tessel_settings_t settings = CurrentSettings();
  if (tessel_judge(SharedModel(), rest.data(), rest.size(), &settings, nullptr, nullptr) != verdict)
    abort();
  return 0;
}
