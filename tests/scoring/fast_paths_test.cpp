// The fast paths (count indexes, documents hashed from their words, the C
// interfaces) against the exported operations on CShingleSets, over real
// texts and many settings: the same verdicts and output, byte for byte, with
// doubles printed to the last bit.
#include <iomanip>
#include <numeric>

#include "core/text_words.h"
#include "embed/corpus_model.h"
#include "embed/embed.h"
#include "embed/tessel.h"
#include "scoring/formulas.h"
#include "scoring/indexed_judge.h"
#include "scoring/lm_common.h"
#include "scoring/options.h"
#include "support/test_support.h"

namespace {

// A corpus's model: its sets as trained and as loaded from the saved files,
// indexed both ways, and both C handles on the files.
struct Model {
  explicit Model(int which) {
    corpus::WriteModel(dir.path(), which, sets[0]);
    for (int s = 0; s < 2; ++s) {
      for (int n = 0; n < 2; ++n) {
        const std::string file = dir.path() + corpus::kFiles[s][n];
        loadShinglesFromFile(file, sets[1][s][n]);
        sets[0][s][n].ConvertToSet(), sets[1][s][n].ConvertToSet();
        indexes[0][2 * n + s] = CountIndex::FromSet(sets[0][s][n]);
        EXPECT_TRUE(CountIndex::Load(file, indexes[1][2 * n + s], nullptr));
      }
    }
    handle = _openShingles(dir.path().c_str());
    api = tessel_open(dir.path().c_str(), nullptr);
  }
  ~Model() { _closeShingles(handle), tessel_close(api); }

  TempDir dir;
  CShingleSet sets[2][2][2];  // [loaded][protected side first][words, pairs]
  CountIndex indexes[2][4];   // [loaded][words p, u, pairs p, u]
  tessel_model* handle;
  tessel_t* api;
};

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
    doc.ReadBuffer(text.data(), text.size(), &std::cerr);
    const SidesIndex words = SidesIndex::Join(RecordsOf(indexes[0]), RecordsOf(indexes[1]));
    const SidesIndex pairs = SidesIndex::Join(RecordsOf(indexes[2]), RecordsOf(indexes[3]));
    return JudgeDocument(formula, doc, {&words, &pairs}, options.scoring.lm,
                         lm::StandardStreams())
        .verdict;
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
  TextWords phrase(TextOptions{});
  phrase.Feed(text.data() + r.phrase_offset, r.phrase_length);
  phrase.Feed("\n", 1);
  phrase.Finish();
  if (r.verdict)
    said << "values: \t" << r.protected_score << '\t' << r.unprotected_score << "\nstring:\n"
         << (phrase.size() ? phrase.Span(0, phrase.size()) : "") << '\n';
  return said.str() + "|";
}

class FastPaths : public LmSettingsTest {
 public:
  ~FastPaths() override { std::cout << std::setprecision(6); }
};

TEST_F(FastPaths, SameVerdictsAndOutputAsTheExportedOperations) {
  std::vector<std::string> texts;
  for (const std::string& name : corpus::Documents()) {
    texts.push_back(ReadFile(name));
    texts.push_back(texts.back().substr(0, texts.back().size() / 3));  // often inside a word
  }
  // A long text with protected passages far apart, and an empty one.
  texts.push_back(std::accumulate(texts.begin(), texts.end(), std::string()));
  texts.push_back("");
  const struct {
    double lambda, lambda0, factor, threshold_1, threshold_2;
  } settings[] = {{0, 0, 0, 1, 1}, {0.5, 0.3, 0.1, 1e-6, 5}, {1, 1, -1, 0.5, 1e9},
                  {0, 0, 0.5, 0, 0.5}, {2, 0, 1e-9, 1e-6, 1}};
  std::cout << std::setprecision(17);
  int flagged = 0, compared = 0;
  for (int which = 0; which < 2; ++which) {
    Model model(which);
    for (int shift : {1, 2})
      for (const auto& s : settings)
        for (bool log : {false, true})
          for (int length : {1, 2, 3, 10, -1})
            for (bool detailed : {false, true}) {
              CShingle::shingle_shift = shift, Detailed = detailed, lm_log = log, lm_length = length;
              std::tie(lm_lambda, lm_lambda0, lm_factor, lm_threshold_1, lm_threshold_2) =
                  std::tie(s.lambda, s.lambda0, s.factor, s.threshold_1, s.threshold_2);
              // Only Formula1 reads Detailed.
              for (const std::string& text : texts)
                for (int loaded = 0; loaded < 2; ++loaded)
                  for (int formula = 1; formula <= (detailed ? 1 : 3); ++formula) {
                    const std::string expected = Exported(formula, model.sets[loaded], text);
                    ASSERT_EQ(Indexed(formula, model.indexes[loaded], text), expected)
                        << formula << loaded << length << log << shift << "\n" << text;
                    flagged += expected[0] == 'T', ++compared;
                    if (formula > 1 || !loaded) continue;
                    const int size = static_cast<int>(text.size());
                    auto process = [&] { return _processShingles(model.handle, text.data(), size); };
                    ASSERT_EQ(Said([&] { return process() == 1; }), expected);
                    if (shift == 1 && !detailed) {
                      const std::string stdout_part = expected.substr(0, expected.rfind('|') + 1);
                      ASSERT_EQ(Judge(model.api, text), stdout_part) << text;
                    }
                  }
            }
  }
  // The cases must reach both verdicts often enough to mean something.
  EXPECT_GT(flagged, compared / 10) << compared;
  EXPECT_LT(flagged, compared * 9 / 10);
}

}  // namespace
