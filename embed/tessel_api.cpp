// The thread-safe C interface: an open model is read-only, and every judge
// call keeps its words, digests and windows to itself.
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "compat/builder.h"
#include "compat/settings.h"
#include "core/digest_index.h"
#include "core/save_marker.h"
#include "core/text_words.h"
#include "embed/embed.h"
#include "embed/handle.h"
#include "embed/messages.h"
#include "embed/tessel.h"
#include "scoring/document_judge.h"
#include "scoring/formula_core.h"
#include "scoring/indexed_judge.h"

namespace {

lm::Settings SettingsOf(const tessel_settings_t& given) {
  lm::Settings settings;
  settings.threshold_1 = given.threshold_1;
  settings.threshold_2 = given.threshold_2;
  settings.length = given.length;
  settings.lambda = given.lambda;
  settings.factor = given.factor;
  settings.log = given.log != 0;
  return settings;
}

void Fill(tessel_result_t& result, const DocumentJudge& judged) {
  const lm::Result& found = judged.lm_result();
  result.verdict = found.verdict ? 1 : 0;
  result.protected_score = found.protected_score;
  result.unprotected_score = found.unprotected_score;
  result.phrase_offset = 0;
  result.phrase_length = 0;
  if (found.phrase_words == 0) return;
  result.phrase_offset = judged.phrase().offset;
  result.phrase_length = judged.phrase().end - judged.phrase().offset;
}

}  // namespace

extern "C" tessel_t* tessel_open(const char* directory, char** errptr) {
  if (directory == nullptr) {
    SetError(errptr, StatusCode::kInvalidArgument, messages::kNoModelDirectory);
    return nullptr;
  }
  try {
    // Neighbouring words; the model's description is checked against the
    // stop words LoadStopwords loaded and UpperCase, as _openShingles checks
    // it, and judging reads them again at each call.
    TextOptions text = WithProcessWideWords(TextOptions());
    CountIndex files[kModelSlots];
    // Texts are read as the model's description says, as _openShingles
    // reads them; a model without one, byte for byte.
    const Status loaded = LoadModelFiles(directory, true, text, files, &text.encoding);
    if (!loaded.ok()) {
      SetError(errptr, loaded);
      return nullptr;
    }
    auto model = std::make_unique<tessel_t>(PrepareModel(files, true, false));
    model->text = text;
    return model.release();
  } catch (const std::bad_alloc&) {
    SetError(errptr, StatusCode::kOutOfMemory, messages::kCallOutOfMemory);
  } catch (...) {  // no exception may reach a C caller
    SetError(errptr, StatusCode::kInternal, messages::kModelNotOpened);
  }
  return nullptr;
}

extern "C" void tessel_settings_default(tessel_settings_t* settings) {
  if (settings == nullptr) return;
  const lm::Settings defaults;
  settings->threshold_1 = defaults.threshold_1;
  settings->threshold_2 = defaults.threshold_2;
  settings->length = defaults.length;
  settings->lambda = defaults.lambda;
  settings->factor = defaults.factor;
  settings->log = defaults.log ? 1 : 0;
}

extern "C" int tessel_judge(const tessel_t* model, const char* text, size_t length,
                            const tessel_settings_t* settings, tessel_result_t* result,
                            char** errptr) {
  if (model == nullptr || (text == nullptr && length != 0)) {
    SetError(errptr, StatusCode::kInvalidArgument,
             model == nullptr ? messages::kNoModel : messages::kNoText);
    return -1;
  }
  tessel_settings_t defaults;
  if (settings == nullptr) {
    tessel_settings_default(&defaults);
    settings = &defaults;
  }
  try {
    if (!model->model.language_model) {
      SetError(errptr, StatusCode::kInvalidArgument, messages::kNotLanguageModel);
      return -1;
    }
    TextOptions options = WithProcessWideWords(model->text);  // as _processShingles reads them
    options.shingle_shift = 1;  // always neighbouring words
    // Judged in windows of words as the text is read: only a formula
    // window's words are held, whatever the text's size.
    ScoringOptions scoring;
    scoring.formula = 1;
    scoring.lm = SettingsOf(*settings);
    WordsAndPairs doc(options);
    DocumentJudge judged(model->model, scoring, options.shingle_length);
    judged.Judge(doc, [&](TextWords& words) {
      if (length != 0) words.Feed(text, length);
      words.Finish();
      return true;
    });
    if (result != nullptr) Fill(*result, judged);
    return judged.lm_result().verdict ? 1 : 0;
  } catch (const std::bad_alloc&) {
    SetError(errptr, StatusCode::kOutOfMemory, messages::kCallOutOfMemory);
  } catch (...) {
    SetError(errptr, StatusCode::kInternal, messages::kTextNotJudged);
  }
  return -1;
}

extern "C" void tessel_close(tessel_t* model) { delete model; }

extern "C" void tessel_free(void* ptr) { std::free(ptr); }
