// Every formula in its exported forms, over many random small models,
// documents and settings: everything they give (verdicts and output lines,
// doubles to the last bit in hexadecimal) folds into one fingerprint. The order of the arithmetic must not change, so neither may
// the fingerprint; a deliberate change of a formula records the new value.
#include <cstdint>
#include <iomanip>
#include <random>

#include "compat/formulas.h"
#include "compat/lm_common.h"
#include "support/test_support.h"

namespace {

// A document (words and pairs) and a model (protected and unprotected words
// and pairs).
struct Case {
  CShingleSet words, pairs, pw, uw, pp, up;
  lm::Settings settings;
};

// FNV-1a over the texts given, each ended by a NUL.
struct Fingerprint {
  uint64_t value = 0xcbf29ce484222325u;
  void Add(const std::string& text) {
    for (const char c : text + '\0') value = (value ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
  }
};

template <typename T>
T Pick(std::mt19937& random, std::initializer_list<T> values) {
  return values.begin()[random() % values.size()];
}

std::string RandomText(std::mt19937& random, const std::string& letters, size_t most) {
  std::string text;
  for (size_t k = random() % (most + 1); k != 0; --k)
    text += letters[random() % letters.size()] + std::string(" ");
  return text;
}

Case RandomCase(unsigned seed) {
  std::mt19937 random(seed);
  Case c;
  const bool loaded = random() % 2;
  const std::string protected_text = RandomText(random, "aabbcd", 40),
                    unprotected_text = RandomText(random, "cdeeff", 40);
  c.pw = loaded ? Loaded(protected_text, 1) : Trained(protected_text, 1);
  c.pp = loaded ? Loaded(protected_text, 2) : Trained(protected_text, 2);
  c.uw = loaded ? Loaded(unprotected_text, 1) : Trained(unprotected_text, 1);
  c.up = loaded ? Loaded(unprotected_text, 2) : Trained(unprotected_text, 2);
  const std::string doc = RandomText(random, "abcdefz", 14);
  c.words = Built(doc, 1);
  // Now and then pairs of another text, or a document without a total.
  c.pairs = Built(random() % 10 ? doc : RandomText(random, "ab", 4), 2);
  if (random() % 20 == 0) c.words.total = 0;
  lm::Settings& s = c.settings;
  s.log = random() % 2, s.detailed = random() % 2;
  s.lambda = Pick(random, {0.0, 0.3, 0.5, 1.0, 2.7});
  s.lambda0 = Pick(random, {0.0, 0.3, 1.0, 1.5});
  s.factor = Pick(random, {0.0, 0.1, -1.0, 1e-9, 2.0});
  s.threshold_1 = Pick(random, {1.0, 1e-6, 0.5, 0.0, 1e9});
  s.threshold_2 = Pick(random, {1.0, 5.0, 1e9, 0.5, 1e-3});
  s.length = Pick(random, {1, 2, 3, 5, 10, 30, 0, -1, -7});
  return c;
}

class Formulas : public LmSettingsTest {
 public:
  ~Formulas() override { std::cout << std::defaultfloat; }
};

TEST_F(Formulas, GiveTheirRecordedResults) {
  std::cout << std::hexfloat;
  Fingerprint fingerprint;
  int flagged = 0, judged = 0;
  for (unsigned seed = 0; seed < 3000; ++seed) {
    Case c = RandomCase(seed);
    const lm::Settings& s = c.settings;
    std::tie(lm_lambda, lm_lambda0, lm_factor, lm_threshold_1, lm_threshold_2, lm_length, lm_log,
             Detailed) = std::tie(s.lambda, s.lambda0, s.factor, s.threshold_1, s.threshold_2,
                                  s.length, s.log, s.detailed);
    for (int formula = 1; formula <= 3; ++formula) {
      SCOPED_TRACE(testing::Message() << "formula " << formula << ", seed " << seed);
      bool verdict = false;
      const std::string said = Said([&] {
        if (formula == 1) verdict = Formula1(c.words, c.pairs, c.pw, c.uw, c.pp, c.up);
        if (formula == 2) verdict = Formula2(c.words, c.pairs, c.pw, c.uw, c.pp, c.up);
        if (formula == 3) verdict = Formula3(c.words, c.pw, c.uw);
        return verdict;
      });
      fingerprint.Add(said);
      flagged += verdict, ++judged;
    }
    for (int formula = 1; formula <= 2; ++formula) {  // the products, to the last bit
      std::ostringstream product;
      fingerprint.Add(Said([&] {
        product << std::hexfloat << (formula == 1 ? Formula1(c.words, c.pairs, c.pw.set, c.pp.set)
                                                : Formula2(c.words, c.pairs, c.pw.set, c.pp.set));
        return true;
      }));
      fingerprint.Add(product.str());
    }
  }
  EXPECT_EQ(fingerprint.value, 0x22697c96b100bc95u) << std::hex << fingerprint.value;
  // The cases must reach both verdicts often enough to mean something.
  EXPECT_GT(flagged, judged / 10);
  EXPECT_LT(flagged, judged * 9 / 10);
}

}  // namespace
