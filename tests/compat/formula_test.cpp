// Every formula, in its exported forms and in the formula core, against a
// reference worked out here step by step in the same order of operations,
// over many random small models, documents and settings: the same verdict,
// output and deciding window, with doubles compared to the last bit.
#include <cmath>
#include <deque>
#include <iomanip>
#include <map>
#include <random>
#include <vector>

#include "compat/formula_lines.h"
#include "compat/formulas.h"
#include "compat/lm_common.h"
#include "scoring/formula_core.h"
#include "support/test_support.h"

namespace {

// A document (words and pairs) and a model (protected and unprotected words
// and pairs).
struct Case {
  CShingleSet words, pairs, pw, uw, pp, up;
  lm::Settings settings;
};

double CountIn(const std::set<CShingle>& model, const CShingle& shingle) {
  const auto found = model.find(shingle);
  return found == model.end() ? 0 : found->count;
}

// Estimates of one position on one side: the window's first entry gives
// `first` and `later`, every other entry `later`.
struct Entry {
  double first, later;
};

Entry Estimate(int formula, const Case& c, const CShingleSet& words, const CShingleSet& pairs,
               const std::vector<CShingle>& w, const std::vector<CShingle>& b, size_t j) {
  const lm::Settings& s = c.settings;
  const double n = static_cast<double>(words.list.size()), t = static_cast<double>(words.total);
  const double cw = CountIn(words.set, w[j]);
  if (formula == 3) {
    const double p = (cw + s.lambda) / ((t + n * s.lambda) + 0.01);
    return s.log ? Entry{0.0, std::log(1 + p)} : Entry{1.0, p};
  }
  const double cb = CountIn(pairs.set, b[j]);
  if (formula == 1) {
    const double u = (cw + s.lambda) / ((t + n * s.lambda) + 0.01);
    const double r = (s.lambda + cb) / ((n * s.lambda + cw) + 0.01);
    return s.log ? Entry{std::log(1 + u), std::log(1 + r)} : Entry{u, r};
  }
  const double pb = ((cb * s.lambda0 + 1) - s.lambda0) / t;
  const double p1 = ((cw * s.lambda0 + 1) - s.lambda0) / t;
  double q = 1.0;
  if (pb != 0) {
    const double p2 = ((CountIn(words.set, w[j + 1]) * s.lambda0 + 1) - s.lambda0) / t;
    q = (1 - s.lambda) * p2 + (s.lambda * p1) / pb;
  }
  if (!s.log) return {p1, q};
  return {p1 != 0 ? std::log(p1) : p1, q != 0 ? std::log(q) : q};
}

double Score(const std::deque<Entry>& window, bool log) {
  double score = window.front().first;
  for (const Entry& entry : window) score = log ? score + entry.later : score * entry.later;
  return score;
}

// The hit phrase of the window ending at j: first word and word count.
std::pair<size_t, size_t> Phrase(int formula, int64_t length, int64_t n, int64_t j) {
  int64_t first = 0, last = -1;
  if (formula == 3) {
    first = length > 2 ? std::max<int64_t>(0, j - (length - 2)) : j;
    // A negative length has no bound: up to the last word.
    last = std::min(static_cast<uint64_t>(length), static_cast<uint64_t>(n - first)) + first - 1;
  } else if (length > 1) {
    first = formula == 2 ? j - length + 2 : std::max<int64_t>(0, j - (length - 2));
    last = formula == 2 ? j : std::min(first + length - 2, n - 1);
  }
  return {static_cast<size_t>(first), static_cast<size_t>(last - first + 1)};
}

// The six-set (three-set) form of a formula, as a run writes and decides it.
lm::Result Reference(int formula, const Case& c, std::ostream& out, std::ostream& err) {
  const lm::Settings& s = c.settings;
  const std::vector<CShingle> w(c.words.list.begin(), c.words.list.end());
  const std::vector<CShingle> b(c.pairs.list.begin(), c.pairs.list.end());
  lm::Result result;
  if (w.empty() || (formula == 2 && c.words.total == 0))
    return err << "Error: empty doc shingles\n", result;
  if (formula != 3 && w.size() != b.size() + 1)
    return err << "Algorithm error; size1=" << w.size() << " size2=" << b.size() << "\n", result;
  const size_t positions = formula == 3 ? w.size() : b.size();
  if (positions == 0 || s.length == 0) return result;  // a window of 0 is never scored
  const size_t length = static_cast<size_t>(static_cast<int64_t>(s.length));
  std::deque<Entry> protected_window, unprotected_window;
  std::map<std::string, int> tally;
  for (size_t j = 0; j < positions; ++j) {
    protected_window.push_back(Estimate(formula, c, c.pw, c.pp, w, b, j));
    unprotected_window.push_back(Estimate(formula, c, c.uw, c.up, w, b, j));
    if (protected_window.size() < length && j + 1 < positions) continue;
    if (protected_window.size() < length && formula == 2) return result;
    while (protected_window.size() > length)
      protected_window.pop_front(), unprotected_window.pop_front();
    const double sp = Score(protected_window, s.log), su = Score(unprotected_window, s.log);
    const double margin = formula == 2 ? 0.0 : s.factor;
    if (!(s.log ? sp >= su + margin
                : su < s.threshold_2 && (sp >= s.threshold_1 || (sp >= su + margin && sp > 0))))
      continue;
    out << "values: \t" << sp << '\t' << su << '\n';
    const auto [first, count] =
        Phrase(formula, s.length, static_cast<int64_t>(w.size()), static_cast<int64_t>(j));
    if (!result.verdict) {
      result.verdict = true, result.protected_score = sp, result.unprotected_score = su;
      result.phrase_first = first, result.phrase_words = count;
    }
    std::string phrase;
    for (size_t k = first; k < first + count; ++k) phrase += (k != first ? " " : "") + w[k].text;
    if (formula == 1 && s.detailed) {
      ++tally[phrase];
      continue;
    }
    out << (formula == 1 ? "string:\n" : "String:\n") << (formula == 1 || !count ? "" : " ")
        << phrase << '\n';
    return result;
  }
  for (const auto& [phrase, count] : tally)
    out << "count: " << count << " string: " << phrase << '\n';
  return result;
}

// The four-argument forms: whole-document products without smoothing or window.
double ReferenceProduct(int formula, const Case& c, std::ostream& err) {
  const std::vector<CShingle> w(c.words.list.begin(), c.words.list.end());
  const std::vector<CShingle> b(c.pairs.list.begin(), c.pairs.list.end());
  const double t = c.words.total;
  if (w.size() != b.size() + 1) return err << "Algorithm error\n", 0.0;
  if (formula == 2 && t == 0) return err << "Error: empty doc shingles\n", 0.0;
  double p = 1.0;
  for (size_t j = 0; j < b.size() && (formula == 1 || j < 10); ++j) {
    const double cb = CountIn(c.pp.set, b[j]), c1 = CountIn(c.pw.set, w[j]);
    if (formula == 1) {
      if (j == 0) p = p * (c1 / t);
      if (c1 != 0) p = p * (cb / c1);
      continue;
    }
    const double pb = ((cb * 0.5 + 1) - 0.5) / t, p1 = ((c1 * 0.5 + 1) - 0.5) / t;
    if (j == 0) p = p * p1;
    if (pb == 0) continue;
    const double p2 = ((CountIn(c.pw.set, w[j + 1]) * 0.5 + 1) - 0.5) / t;
    p = p * ((p1 * 0.5) / pb + p2 * 0.5);
  }
  return p;
}

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

std::string Described(const lm::Result& r) {
  std::ostringstream text;
  text << std::hexfloat << r.verdict << ' ' << r.protected_score << ' ' << r.unprotected_score
       << ' ' << r.phrase_first << ' ' << r.phrase_words;
  return text.str();
}

class Formulas : public LmSettingsTest {
 public:
  ~Formulas() override { std::cout << std::setprecision(6); }
};

TEST_F(Formulas, AgreeWithTheirDefinitions) {
  std::cout << std::setprecision(17);
  int flagged = 0, judged = 0;
  for (unsigned seed = 0; seed < 3000; ++seed) {
    Case c = RandomCase(seed);
    const lm::Settings& s = c.settings;
    std::tie(lm_lambda, lm_lambda0, lm_factor, lm_threshold_1, lm_threshold_2, lm_length, lm_log,
             Detailed) = std::tie(s.lambda, s.lambda0, s.factor, s.threshold_1, s.threshold_2,
                                  s.length, s.log, s.detailed);
    const lm::Model model{lm::LookupOf(c.pw), lm::LookupOf(c.uw), lm::LookupOf(c.pp),
                          lm::LookupOf(c.up)};
    const lm::ListDocument document(c.words, &c.pairs);
    for (int formula = 1; formula <= 3; ++formula) {
      SCOPED_TRACE(testing::Message() << "formula " << formula << ", seed " << seed);
      std::ostringstream out, err, core_out, core_err;
      out << std::setprecision(17), core_out << std::setprecision(17);
      const lm::Result expected = Reference(formula, c, out, err);
      const std::string said = (expected.verdict ? "T|" : "F|") + out.str() + "|" + err.str();
      ASSERT_EQ(Said([&] {
                  if (formula == 1) return Formula1(c.words, c.pairs, c.pw, c.uw, c.pp, c.up);
                  if (formula == 2) return Formula2(c.words, c.pairs, c.pw, c.uw, c.pp, c.up);
                  return Formula3(c.words, c.pw, c.uw);
                }),
                said);
      flagged += expected.verdict, ++judged;
      if (formula == 2 && c.words.total == 0) continue;  // the core's documents have no total
      auto core = lm::FormulaNumbered(formula);
      const lm::Result found = core(document.View(), model, s);
      ASSERT_EQ(Described(found), Described(expected));
      lm::WriteFormulaOutput(formula, found, core_out, core_err);
      ASSERT_EQ(core_out.str() + "|" + core_err.str(), out.str() + "|" + err.str());
    }
    for (int formula = 1; formula <= 2; ++formula) {
      SCOPED_TRACE(testing::Message() << "four-argument formula " << formula << ", seed " << seed);
      std::ostringstream err;
      const double expected = ReferenceProduct(formula, c, err);
      double product = 0;
      ASSERT_EQ(Said([&] {
                  product = formula == 1 ? Formula1(c.words, c.pairs, c.pw.set, c.pp.set)
                                         : Formula2(c.words, c.pairs, c.pw.set, c.pp.set);
                  return true;
                }),
                "T||" + err.str());
      lm::Result found, wanted;
      found.verdict = wanted.verdict = true;
      found.protected_score = product, wanted.protected_score = expected;
      ASSERT_EQ(Described(found), Described(wanted));
    }
  }
  // The cases must reach both verdicts often enough to mean something.
  EXPECT_GT(flagged, judged / 10);
  EXPECT_LT(flagged, judged * 9 / 10);
}

}  // namespace
