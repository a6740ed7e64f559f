// tessel_open on model files written from the input, then tessel_judge on a
// fuzzed text with fuzzed settings. Each file is raw bytes (any order, any
// size) or the shingles of some text, possibly the judged one, so that
// verdicts of both kinds occur. The model opens exactly when every file is
// whole records; a refusal names the file; a verdict is 0 or 1 with a phrase
// inside the text, repeatable, and equal to _processShingles' with the same
// settings.
#include "compat/shingle_file.h"
#include "embed/tessel.h"
#include "support/test_support.h"

namespace {

const char* const kModelFiles[] = {"p.bin", "p.bin.2", "u.bin", "u.bin.2"};

// Writes one model file; false when its size is not a multiple of 16.
bool WriteModelFile(FuzzInput& input, const std::string& path, int words, const std::string& text) {
  const int kind = input.Pick(0, 2);  // raw bytes, shingles of a piece, of the judged text
  const std::string piece = input.Take(static_cast<size_t>(input.Pick(0, 255)));
  if (kind == 0) {
    WriteFile(path, piece);
    return piece.size() % kDigestSize == 0;
  }
  CShingleSet shingles = Built(kind == 1 ? piece : text, words);
  saveShinglesToFile(path, shingles);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const tessel_settings_t settings{input.Pick(1, 4) / 2.0,  input.Pick(1, 4) / 2.0,
                                   input.Pick(-2, 12),      input.Pick(0, 4) / 4.0,
                                   input.Pick(0, 2) - 1.0,  input.Pick(0, 1)};
  const std::string text = input.Take(static_cast<size_t>(input.Pick(0, 255)) * 4);
  const std::string dir = FuzzWorkDir();
  bool whole = true;
  for (int i = 0; i < 4; ++i)
    whole = WriteModelFile(input, dir + "/" + kModelFiles[i], i % 2 + 1, text) && whole;

  char* error = nullptr;
  tessel_t* model = tessel_open(dir.c_str(), &error);
  if ((model != nullptr) != whole || (model == nullptr) != (error != nullptr) ||
      (error != nullptr && std::string(error).find(dir) == std::string::npos))
    abort();
  tessel_free(error);
  if (model == nullptr) return 0;

  tessel_result_t result, again;
  const int verdict = tessel_judge(model, text.data(), text.size(), &settings, &result, nullptr);
  if ((verdict != 0 && verdict != 1) || result.verdict != verdict ||
      result.phrase_offset + result.phrase_length > text.size() ||
      (verdict == 0 && (result.phrase_length != 0 || result.protected_score != 0)) ||
      tessel_judge(model, text.data(), text.size(), &settings, &again, nullptr) != verdict ||
      again.phrase_offset != result.phrase_offset || again.phrase_length != result.phrase_length)
    abort();
  tessel_close(model);

  SettingsGuard guard;
  std::tie(lm_threshold_1, lm_threshold_2, lm_length, lm_lambda, lm_factor, lm_log) =
      std::make_tuple(settings.threshold_1, settings.threshold_2, settings.length, settings.lambda,
                      settings.factor, settings.log != 0);
  tessel_model* shared = _openShingles(dir.c_str());
  const int processed = _processShingles(shared, text.c_str(), static_cast<int>(text.size()));
  _closeShingles(shared);
  if (processed != verdict) abort();
  return 0;
}
