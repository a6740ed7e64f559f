// The indexed path (count indexes, documents hashed from their words, the
// C interface) against the exported operations on CShingleSets, over real
// texts and many settings: the same verdicts and the same output, byte for byte.
#include "scoring/indexed_judge.h"

#include <filesystem>
#include <numeric>

#include "core/set_file.h"
#include "embed/embed.h"
#include "scoring/formulas.h"
#include "scoring/lm_common.h"
#include "support/test_support.h"

namespace {

const std::string kCorpus = TESSEL_SOURCE_DIR "/examples/corpus/";

std::vector<std::string> FilesOf(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path());
  std::sort(names.begin(), names.end());
  return names;
}

// One side of a model as the tool trains it, and as a set file loads it.
struct Side {
  CShingleSet words, pairs;
};

Side Train(const std::string& dir) {
  Side side;
  for (const std::string& name : FilesOf(dir)) {
    BuildShingles(name, side.words, 1);
    BuildShingles(name, side.pairs, 2);
  }
  return side;
}

struct Models {
  TempDir dir;
  Side sides[2][2];  // [loaded][protected side first]
  CountIndex indexes[2][4];
  tessel_model* handle = nullptr;

  Models() {
    const char* files[2][2] = {{"p.bin", "p.bin.2"}, {"u.bin", "u.bin.2"}};
    sides[0][0] = Train(kCorpus + "protected");
    sides[0][1] = Train(kCorpus + "unprotected");
    for (int s = 0; s < 2; ++s) {
      saveShinglesToFile(dir / files[s][0], sides[0][s].words);
      saveShinglesToFile(dir / files[s][1], sides[0][s].pairs);
      loadShinglesFromFile(dir / files[s][0], sides[1][s].words);
      loadShinglesFromFile(dir / files[s][1], sides[1][s].pairs);
    }
    for (int l = 0; l < 2; ++l) {
      for (int s = 0; s < 2; ++s) {
        sides[l][s].words.ConvertToSet();
        sides[l][s].pairs.ConvertToSet();
      }
    }
    // Slots: protected words, unprotected words, protected pairs, unprotected pairs.
    for (int s = 0; s < 2; ++s) {
      indexes[0][s] = CountIndex::FromSet(sides[0][s].words);
      indexes[0][2 + s] = CountIndex::FromSet(sides[0][s].pairs);
      EXPECT_TRUE(CountIndex::Load(dir / files[s][0], indexes[1][s]));
      EXPECT_TRUE(CountIndex::Load(dir / files[s][1], indexes[1][2 + s]));
    }
    handle = _openShingles(dir.path().c_str());
  }
  ~Models() { _closeShingles(handle); }
};

std::string Exported(int formula, Side (&model)[2], const std::string& text) {
  return Said([&] {
    CShingleSet words = Built(text, 1), pairs = Built(text, 2);
    if (formula == 1)
      return Formula1(words, pairs, model[0].words, model[1].words, model[0].pairs,
                      model[1].pairs);
    if (formula == 2)
      return Formula2(words, pairs, model[0].words, model[1].words, model[0].pairs,
                      model[1].pairs);
    return Formula3(words, model[0].words, model[1].words);
  });
}

std::string Indexed(int formula, const CountIndex (&indexes)[4], const std::string& text) {
  return Said([&] {
    WordsAndPairs doc;
    doc.ReadBuffer(text.data(), text.size());
    return JudgeDocument(formula, doc, {&indexes[0], &indexes[1], &indexes[2], &indexes[3]});
  });
}

struct Setting {
  double lambda, lambda0, factor, threshold_1, threshold_2;
};

class IndexedJudge : public LmSettingsTest {
 protected:
  void TearDown() override {
    LmSettingsTest::TearDown();
    CShingle::shingle_shift = 1;
  }
};

TEST_F(IndexedJudge, SameVerdictsAndOutputAsTheExportedFormulas) {
  Models models;
  std::vector<std::string> texts;
  for (const char* dir : {"docs", "protected", "unprotected"})
    for (const std::string& name : FilesOf(kCorpus + dir)) texts.push_back(ReadFile(name));
  // A long text with protected passages far apart, and an empty one.
  texts.push_back(std::accumulate(texts.begin(), texts.end(), std::string()));
  texts.push_back("");
  const Setting settings[] = {{0, 0, 0, 1, 1}, {0.5, 0.3, 0.1, 1e-6, 5}, {1, 1, -1, 0.5, 1e9},
                              {0, 0, 0.5, 0, 0.5}};
  int flagged = 0, compared = 0;
  for (int shift : {1, 2}) {
    CShingle::shingle_shift = shift;
    for (const Setting& s : settings) {
      for (bool log : {false, true}) {
        for (int length : {1, 3, 10, -1}) {
          for (bool detailed : {false, true}) {
            std::tie(lm_lambda, lm_lambda0, lm_factor, lm_threshold_1, lm_threshold_2) =
                std::tie(s.lambda, s.lambda0, s.factor, s.threshold_1, s.threshold_2);
            lm_log = log;
            lm_length = length;
            Detailed = detailed;
            for (const std::string& text : texts) {
              for (int loaded = 0; loaded < 2; ++loaded) {
                // Only Formula1 reads Detailed.
                for (int formula = 1; formula <= (detailed ? 1 : 3); ++formula) {
                  const std::string expected = Exported(formula, models.sides[loaded], text);
                  ASSERT_EQ(Indexed(formula, models.indexes[loaded], text), expected)
                      << formula << " " << loaded << " " << length << " " << log << "\n"
                      << text;
                  flagged += expected[0] == 'T';
                  ++compared;
                }
                ASSERT_EQ(Said([&] {
                            return _processShingles(models.handle, text.data(),
                                                    static_cast<int>(text.size())) == 1;
                          }),
                          Exported(1, models.sides[1], text));
              }
            }
          }
        }
      }
    }
  }
  // The cases must reach both verdicts often enough to mean something.
  EXPECT_GT(flagged, compared / 10) << compared;
  EXPECT_LT(flagged, compared * 9 / 10);
}

}  // namespace
