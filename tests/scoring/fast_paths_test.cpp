// The fast paths (count indexes, documents hashed from their words, the C
// interfaces) against the exported operations on CShingleSets, over real
// texts and many settings: the same verdicts and output, byte for byte, with
// doubles printed to the last bit.
#include <iomanip>
#include <numeric>

#include "compat/formula_lines.h"
#include "compat/formulas.h"
#include "compat/settings.h"
#include "core/document.h"
#include "core/text_words.h"
#include "embed/corpus_model.h"
#include "embed/embed.h"
#include "embed/tessel.h"
#include "scoring/indexed_judge.h"
#include "scoring/options.h"
#include "support/test_support.h"
#include "corpus_models.h"

namespace {

std::string Exported(int formula, CShingleSet (&m)[2][2], const std::string& text) {
  return Said([&] {
    CShingleSet words = Built(text, 1), pairs = Built(text, 2);
    if (formula == 1) return Formula1(words, pairs, m[0][0], m[1][0], m[0][1], m[1][1]);
    if (formula == 2) return Formula2(words, pairs, m[0][0], m[1][0], m[0][1], m[1][1]);
    return Formula3(words, m[0][0], m[1][0]);
  });
}

std::string Indexed(int formula, const CountIndex (&indexes)[4], const std::string& text) {
  return Said([&] {
    const Options options = CurrentOptions();
    WordsAndPairs doc(options.text);
    doc.ReadWith([&](TextWords& read) {
      return ReadDocument(text.data(), text.size(), read).ok();
    });
    const SidesIndex words = SidesIndex::Join(RecordsOf(indexes[0]), RecordsOf(indexes[1]));
    const SidesIndex pairs = SidesIndex::Join(RecordsOf(indexes[2]), RecordsOf(indexes[3]));
    const lm::Result result = JudgeDocument(formula, doc, {&words, &pairs}, options.scoring.lm);
    lm::WriteFormulaOutput(formula, result, std::cout, std::cerr);
    return result.verdict;
  });
}

// What _processShingles writes, from tessel_judge's result: the phrase is
// taken from the buffer and its words joined as the formula joins them.
std::string Judge(const tessel_t* model, const std::string& text) {
  const tessel_settings_t settings{lm_threshold_1, lm_threshold_2, lm_length,
                                   lm_lambda,      lm_factor,      lm_log};
  tessel_result_t r;
  std::ostringstream said;
  said << std::setprecision(17)
       << (tessel_judge(model, text.data(), text.size(), &settings, &r, nullptr) ? "T|" : "F|");
  const TextWords phrase = WordsOf(text.substr(r.phrase_offset, r.phrase_length) + "\n");
  if (r.verdict)
    said << "values: \t" << r.protected_score << '\t' << r.unprotected_score << "\nstring:\n"
         << (phrase.size() ? phrase.Span(0, phrase.size()) : "") << '\n';
  return said.str() + "|";
}

const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> all;
    for (const std::string& name : corpus::Documents()) {
      all.push_back(ReadFile(name));
      all.push_back(all.back().substr(0, all.back().size() / 3));  // often inside a word
    }
    // A long text with protected passages far apart, and an empty one.
    all.push_back(std::accumulate(all.begin(), all.end(), std::string()));
    all.push_back("");
    return all;
  }();
  return texts;
}

const struct Row {
  const char* name;
  double lambda, lambda0, factor, threshold_1, threshold_2;
} kRows[] = {{"defaults", 0, 0, 0, 1, 1},
             {"smoothed", 0.5, 0.3, 0.1, 1e-6, 5},
             {"wide", 1, 1, -1, 0.5, 1e9},
             {"margin", 0, 0, 0.5, 0, 0.5},
             {"lambda2", 2, 0, 1e-9, 1e-6, 1}};

// Row of kRows, logarithms, window length; each with shingle shifts 1 and 2
// and with and without the detailed tally.
using Setting = std::tuple<int, bool, int>;

std::string NameOf(const testing::TestParamInfo<Setting>& info) {
  const auto [row, log, length] = info.param;
  return std::string(kRows[row].name) + (log ? "_log" : "") + "_length" +
         (length < 0 ? "Minus" : "") + std::to_string(std::abs(length));
}

class FastPaths : public LmSettingsTest, public testing::WithParamInterface<Setting> {
 public:
  ~FastPaths() override { std::cout << std::setprecision(6); }

 protected:
  // Every text against both models, trained and loaded, with the formulas
  // the settings reach; every setting must give both verdicts for the
  // comparison to mean something.
  void CompareAll(int shift, bool detailed) {
    SCOPED_TRACE(testing::Message() << "shift " << shift << (detailed ? ", detailed" : ""));
    CShingle::shingle_shift = shift, Detailed = detailed;
    corpus::Model* const models[] = {&corpus::ModelOf(0), &corpus::ModelOf(1)};
    int flagged = 0, compared = 0;
    const int formulas = detailed ? 1 : 3;  // only Formula1 reads Detailed
    for (corpus::Model* model : models)
      for (const std::string& text : Texts())
        for (int loaded = 0; loaded < 2; ++loaded)
          for (int formula = 1; formula <= formulas; ++formula) {
            SCOPED_TRACE(testing::Message()
                         << "formula " << formula << (loaded ? ", loaded" : "") << ", text:\n"
                         << text);
            const std::string expected = Exported(formula, model->sets[loaded], text);
            ASSERT_EQ(Indexed(formula, model->indexes[loaded], text), expected);
            flagged += expected[0] == 'T', ++compared;
            if (formula > 1 || !loaded) continue;
            const int size = static_cast<int>(text.size());
            auto process = [&] { return _processShingles(model->handle, text.data(), size); };
            ASSERT_EQ(Said([&] { return process() == 1; }), expected);
            if (shift == 1 && !detailed) {
              const std::string stdout_part = expected.substr(0, expected.rfind('|') + 1);
              ASSERT_EQ(Judge(model->api, text), stdout_part);
            }
          }
    EXPECT_GT(flagged, 0);
    EXPECT_LT(flagged, compared);
  }
};

TEST_P(FastPaths, SameVerdictsAndOutputAsTheExportedOperations) {
  const auto [row, log, length] = GetParam();
  const Row& s = kRows[row];
  lm_log = log, lm_length = length;
  std::tie(lm_lambda, lm_lambda0, lm_factor, lm_threshold_1, lm_threshold_2) =
      std::tie(s.lambda, s.lambda0, s.factor, s.threshold_1, s.threshold_2);
  std::cout << std::setprecision(17);
  for (int shift : {1, 2})
    for (bool detailed : {false, true}) CompareAll(shift, detailed);
}

INSTANTIATE_TEST_SUITE_P(Settings, FastPaths,
                         testing::Combine(testing::Range(0, 5), testing::Bool(),
                                          testing::Values(1, 2, 3, 10, -1)),
                         NameOf);

}  // namespace
