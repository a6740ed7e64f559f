// The process-wide settings read at the boundary into an options value
// judge as the same settings given explicitly. (That nothing below compat
// reads them is the check build.settings.)
#include "compat/settings.h"
#include "scoring/options.h"

#include <sstream>

#include "compat/builder.h"
#include "compat/formula_lines.h"
#include "core/digest_index.h"
#include "embed/corpus_model.h"
#include "scoring/indexed_judge.h"
#include "support/test_support.h"

namespace {

// Every formula's verdict, scores, phrase and written lines, in one string.
std::string JudgedAll(const std::string& text, const IndexedModel& model, const Options& options) {
  std::ostringstream said;
  for (int formula = 1; formula <= 3; ++formula) {
    WordsAndPairs doc(options.text);
    doc.ReadBuffer(text.data(), text.size());
    const lm::Result r = JudgeDocument(formula, doc, model, options.scoring.lm);
    lm::WriteFormulaOutput(formula, r, said, said);
    said << r.verdict << ' ' << r.protected_score << ' ' << r.unprotected_score << ' '
         << r.phrase_first << ' ' << r.phrase_words << '\n';
  }
  return said.str();
}

// Word k of every document of the corpus, as normalised.
StopWordSet WordOfEach(size_t k) {
  StopWordSet chosen;
  for (const std::string& name : corpus::Documents()) {
    TextWords words{TextOptions{}};
    const std::string text = ReadFile(name);
    words.Feed(text.data(), text.size());
    words.Finish();
    if (k < words.size()) chosen.emplace(words.Word(k));
  }
  return chosen;
}

class ExplicitOptions : public LmSettingsTest {
 protected:
  void SetUp() override {
    corpus::WriteModel(dir_.path(), 0);
    int slot = 0;
    for (const char* file : {"/p.bin", "/u.bin", "/p.bin.2", "/u.bin.2"})
      ASSERT_TRUE(CountIndex::Load(dir_.path() + file, files_[slot++]).ok());
    words_ = SidesIndex::Join(RecordsOf(files_[0]), RecordsOf(files_[1]));
    pairs_ = SidesIndex::Join(RecordsOf(files_[2]), RecordsOf(files_[3]));
  }
  IndexedModel model() const { return {&words_, &pairs_}; }

  TempDir dir_;
  CountIndex files_[4];
  SidesIndex words_, pairs_;
};

// The boundary's reading gives what the same settings given explicitly give.
TEST_F(ExplicitOptions, CurrentOptionsReadEverySetting) {
  Stopwords = WordOfEach(0);
  CShingle::shingle_shift = 2;
  lm_length = 4, lm_lambda = 0.25, lm_threshold_1 = 0.001, lm_factor = 0.5, lm_sub = true;
  Options explicit_options;
  StopWordSet stop_words = Stopwords;
  explicit_options.text.stop_words = &stop_words;
  explicit_options.text.shingle_shift = 2;
  explicit_options.scoring.lm.length = 4, explicit_options.scoring.lm.lambda = 0.25;
  explicit_options.scoring.lm.threshold_1 = 0.001, explicit_options.scoring.lm.factor = 0.5;
  const Options current = CurrentOptions();
  EXPECT_TRUE(current.scoring.exclusive_pairs);
  for (const std::string& name : corpus::Documents())
    EXPECT_EQ(JudgedAll(ReadFile(name), model(), current),
              JudgedAll(ReadFile(name), model(), explicit_options))
        << name;
}

}  // namespace
