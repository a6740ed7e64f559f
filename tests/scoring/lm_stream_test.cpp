// Language-model judging in windows of words while a text is read, against
// judging the whole text at once: the same verdict, scores, phrase, byte
// range and formula lines, for hits across the first window's end.
#include <random>
#include <sstream>

#include "compat/formula_lines.h"
#include "core/charset.h"
#include "embed/corpus_model.h"
#include "scoring/indexed_judge.h"
#include "support/test_support.h"
#include "corpus_models.h"

namespace {

// The example corpus's model as trained, joined by kind as the C interfaces
// join a model.
IndexedModel Joined() {
  static const CountIndex (&files)[4] = corpus::ModelOf(1).indexes[0];
  static const SidesIndex words = SidesIndex::Join(RecordsOf(files[0]), RecordsOf(files[1]));
  static const SidesIndex pairs = SidesIndex::Join(RecordsOf(files[2]), RecordsOf(files[3]));
  return {&words, &pairs};
}

// `before` words of filler the model does not know, a leak, and `after`
// more words of filler.
std::string Document(const std::string& leak, size_t before, size_t after) {
  static const char* const kFiller[] = {"zorp", "quax", "blen", "tiv", "morrow", "gax",
                                        "prell", "wunt", "oxo", "fenn", "dalp"};
  std::mt19937 random(static_cast<unsigned>(before));
  std::string text;
  auto filler = [&](size_t count) {
    for (size_t i = 0; i < count; ++i) text += std::string(kFiller[random() % 11]) + " ";
  };
  filler(before);
  text += leak + " ";
  filler(after);
  return text;
}

struct Judged {
  lm::Result result;
  PhraseBytes phrase;
  std::string lines;
  // What two ways of judging must agree on.
  auto Kept() const {
    return std::tie(result.verdict, result.protected_score, result.unprotected_score,
                    result.phrase_first, result.phrase_words, phrase.offset, phrase.end,
                    phrase.words, lines);
  }
};

// The text judged whole, or streamed while it is read, as the C interfaces
// judge it.
Judged JudgeText(bool streamed, int formula, const std::string& text, const TextOptions& options,
                 const lm::Settings& settings) {
  WordsAndPairs doc(options);
  LmStream stream(formula, Joined(), settings);
  if (streamed)
    doc.StreamTo([&](const TextWords& read, bool ended) { return stream.Take(read, ended); });
  doc.ReadBuffer(text.data(), text.size());
  // A stream holds at most two windows of words.
  EXPECT_TRUE(!streamed ||
              doc.text().size() - doc.text().first_held() < 2 * TextWords::kStreamWords);
  const lm::Result result =
      streamed ? stream.result() : JudgeDocument(formula, doc, Joined(), settings);
  std::ostringstream out, err;
  lm::WriteFormulaOutput(formula, result, out, err);
  return {result, streamed ? stream.phrase() : PhraseBytesOf(result, doc.text()),
          out.str() + "|" + err.str()};
}

struct Setting {
  int formula;
  int shift;
  lm::Settings settings;
};

std::vector<Setting> Settings() {
  lm::Settings defaults, logs = defaults, smoothed = defaults, short_window = defaults;
  logs.log = true, logs.factor = 5;  // no pruning: every window is scored
  smoothed.lambda0 = 1, smoothed.threshold_1 = 1e-3;
  short_window.length = 3;
  return {{1, 1, defaults}, {1, 1, logs},     {2, 1, smoothed}, {3, 1, defaults},
          {1, 1, short_window}, {1, 2, short_window}, {3, 2, defaults}};
}

// Leaks in ASCII and, as UTF-8, in Cyrillic, whose hit windows end on
// either side of word 65,536 (where the first window of words is judged),
// one that ends the text right there, and filler alone.
TEST(LmStream, SameJudgementAsTheWholeTextAcrossWindowEnds) {
  const std::string english = ReadFile(TESSEL_EXAMPLES "/docs/forwarded_email.txt");
  const std::string russian = Cp1251ToUtf8(ReadFile(TESSEL_EXAMPLES "/docs/ru_leak.txt"));
  const size_t window = TextWords::kStreamWords;
  const std::vector<std::string> texts = {
      Document(english, window - 40, 300),         Document(english, window - 12, 300),
      Document(english, window - 3, 300),          Document(russian, window - 25, 300),
      Document(russian, window - 7, 70000),        Document(russian, window - WordsOf(russian).size(), 0),
      Document("", window + 100, 0)};
  int hits = 0, judged = 0;
  for (const Setting& setting : Settings()) {
    TextOptions options;
    options.shingle_shift = setting.shift;
    options.encoding = TextEncoding::kAuto;
    for (const std::string& text : texts) {
      SCOPED_TRACE(testing::Message() << "formula " << setting.formula << ", shift "
                                      << setting.shift << ", length " << setting.settings.length
                                      << ", log " << setting.settings.log << ", text of "
                                      << text.size() << " bytes");
      const Judged whole = JudgeText(false, setting.formula, text, options, setting.settings);
      const Judged streamed = JudgeText(true, setting.formula, text, options, setting.settings);
      ASSERT_EQ(streamed.Kept(), whole.Kept());
      hits += whole.result.verdict, ++judged;
      // Scoring every window for the best margin changes no judgement; the
      // margin passes exactly for a hit, streamed or not.
      lm::Settings scoring_all = setting.settings;
      scoring_all.best_score = true;
      const Judged best = JudgeText(false, setting.formula, text, options, scoring_all);
      const Judged best_streamed = JudgeText(true, setting.formula, text, options, scoring_all);
      for (const Judged* judged_all : {&best, &best_streamed}) {
        ASSERT_EQ(judged_all->Kept(), whole.Kept());
        // A refused document has no window: no margin either.
        const bool refused = judged_all->result.refusal != lm::Refusal::kNone;
        ASSERT_EQ(judged_all->result.scored_windows == 0, refused);
        if (!refused) {
          ASSERT_EQ(judged_all->result.best >= 0, whole.result.verdict);
        }
      }
      ASSERT_EQ(best_streamed.result.best, best.result.best);
      ASSERT_EQ(best_streamed.result.scored_windows, best.result.scored_windows);
    }
  }
  EXPECT_GT(hits, judged / 2);
  EXPECT_LT(hits, judged);
}

// Texts of one, two and a few words with window lengths of 0 and below,
// which judge the whole text: the same as judging it at once.
TEST(LmStream, ShortTextsAndWindowsOfNoLength) {
  for (int length : {0, -1}) {
    for (int formula : {1, 2, 3}) {
      for (const std::string text : {"alpha ", "alpha beta ", "secret plan alpha beta gamma "}) {
        SCOPED_TRACE(testing::Message() << "formula " << formula << ", length " << length
                                        << ", text " << text);
        lm::Settings settings;
        settings.length = length;
        const Judged whole = JudgeText(false, formula, text, TextOptions{}, settings);
        const Judged streamed = JudgeText(true, formula, text, TextOptions{}, settings);
        EXPECT_EQ(streamed.Kept(), whole.Kept());
      }
    }
  }
}

}  // namespace
