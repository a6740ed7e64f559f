// Many threads judging against one open model see what one thread sees. The
// TSan configuration (-DTESSEL_TSAN=ON) runs this test under ThreadSanitizer.
#include <atomic>
#include <cstdio>
#include <thread>

#include "corpus_model.h"
#include "embed/tessel.h"
#include "support/test_support.h"

namespace {

// Three handles on one model's files, judged from eight threads at once, one
// call at a time and in batches, agree with one thread: tessel_open's with
// settings that change from call to call (logarithms or not), and the
// options interface's in two modes with other text options.
TEST(JudgeThreads, ThreeHandlesOfDifferentSettingsSideBySide) {
  const corpus::ModelDir dir(1);
  const std::string stop_words = dir / "stop.txt";
  WriteFile(stop_words, "THE AND\n");
  tessel_open_options_t shingles = OpenDefaults(), words = OpenDefaults();
  shingles.shingle_length = 1, shingles.stop_words = stop_words.c_str();
  words.mode = TESSEL_MODE_LANGUAGE_MODEL;
  tessel_t* models[2] = {tessel_open_with(dir.path().c_str(), &shingles, nullptr),
                         tessel_open_with(dir.path().c_str(), &words, nullptr)};
  tessel_t* plain = tessel_open(dir.path().c_str(), nullptr);
  for (const tessel_t* model : {models[0], models[1], plain}) ASSERT_NE(model, nullptr);
  std::vector<std::string> texts;
  for (const std::string& name : corpus::Documents()) texts.push_back(ReadFile(name));
  // Task k: text k / 4, kinds 0 and 1 through models[kind], 2 and 3 through
  // tessel_judge, with logarithms for 3. Scores are compared to the last bit.
  auto judge = [&](size_t task) {
    const std::string& text = texts[task / 4];
    char line[200];
    if (task % 4 >= 2) {
      tessel_settings_t settings = DefaultSettings();
      settings.log = task % 4 == 3;
      tessel_result_t r;
      const int verdict = tessel_judge(plain, text.data(), text.size(), &settings, &r, nullptr);
      std::snprintf(line, sizeof line, "%d %d %a %a %zu %zu", verdict, r.verdict, r.protected_score,
                    r.unprotected_score, r.phrase_offset, r.phrase_length);
      return std::string(line);
    }
    tessel_verdict_t verdict = NewVerdict();
    tessel_judge_text(models[task % 4], text.data(), text.size(), nullptr, &verdict, nullptr);
    std::snprintf(line, sizeof line, "%d %lld %a", static_cast<int>(verdict.verdict),
                  static_cast<long long>(verdict.protected_count), verdict.protected_score);
    return std::string(line);
  };
  const size_t tasks = 4 * texts.size();
  std::vector<std::string> expected;
  for (size_t task = 0; task < tasks; ++task) expected.push_back(judge(task));
  std::vector<tessel_item_t> items;
  for (const std::string& text : texts) items.push_back({sizeof(tessel_item_t), nullptr, text.data(), text.size()});
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    // Each thread starts at a different task, so that different texts are
    // judged at the same moment.
    threads.emplace_back([&, t] {
      for (size_t k = 0; k < 3 * tasks; ++k) {
        const size_t task = (k + static_cast<size_t>(t) * 5) % tasks;
        mismatches += judge(task) != expected[task];
      }
      std::vector<tessel_verdict_t> batch(texts.size(), NewVerdict());
      tessel_judge_many(models[t % 2], items.data(), items.size(), nullptr, batch.data(), nullptr, 3,
                        nullptr);
      for (size_t i = 0; i < texts.size(); ++i)
        mismatches += batch[i].verdict != std::stoi(expected[4 * i + t % 2]);
    });
  }
  for (std::thread& thread : threads) thread.join();
  tessel_close(models[0]), tessel_close(models[1]), tessel_close(plain);
  EXPECT_EQ(mismatches, 0);
  int flagged[4] = {0, 0, 0, 0};
  for (size_t task = 0; task < tasks; ++task) flagged[task % 4] += expected[task][0] == '1';
  for (int kind = 0; kind < 4; ++kind) {
    EXPECT_GT(flagged[kind], 0) << kind;
    EXPECT_LT(flagged[kind], static_cast<int>(texts.size())) << kind;
  }
}

}  // namespace
