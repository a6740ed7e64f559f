// Many threads judging against one open model see what one thread sees. The
// TSan configuration (-DTESSEL_TSAN=ON) runs this test under ThreadSanitizer.
#include <atomic>
#include <cstring>
#include <thread>

#include "corpus_model.h"
#include "embed/tessel.h"
#include "support/test_support.h"

namespace {

bool Same(const tessel_result_t& a, const tessel_result_t& b) {
  return a.verdict == b.verdict && a.phrase_offset == b.phrase_offset &&
         a.phrase_length == b.phrase_length &&
         std::memcmp(&a.protected_score, &b.protected_score, sizeof(double)) == 0 &&
         std::memcmp(&a.unprotected_score, &b.unprotected_score, sizeof(double)) == 0;
}

TEST(JudgeThreads, EightThreadsAgreeWithOneThread) {
  TempDir dir;
  corpus::WriteModel(dir.path(), 1);
  tessel_t* model = tessel_open(dir.path().c_str(), nullptr);
  ASSERT_NE(model, nullptr);
  std::vector<std::string> texts;
  for (const std::string& name : corpus::Documents()) texts.push_back(ReadFile(name));
  // Task k: text k / 2, with logarithms when k is odd.
  const size_t tasks = 2 * texts.size();
  auto judge = [&](size_t task, tessel_result_t& result) {
    tessel_settings_t settings;
    tessel_settings_default(&settings);
    settings.log = static_cast<int>(task % 2);
    const std::string& text = texts[task / 2];
    return tessel_judge(model, text.data(), text.size(), &settings, &result, nullptr);
  };
  std::vector<tessel_result_t> expected(tasks);
  for (size_t task = 0; task < tasks; ++task) judge(task, expected[task]);
  constexpr int kThreads = 8, kRounds = 3;
  std::atomic<int> mismatches{0}, protected_texts{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    // Each thread starts at a different task, so different texts are judged
    // at the same moment.
    threads.emplace_back([&, t] {
      for (size_t k = 0; k < kRounds * tasks; ++k) {
        const size_t task = (k + static_cast<size_t>(t) * 5) % tasks;
        tessel_result_t result;
        const int verdict = judge(task, result);
        mismatches += verdict != result.verdict || !Same(result, expected[task]);
        protected_texts += verdict;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  tessel_close(model);
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(protected_texts, 0);
  EXPECT_LT(protected_texts, kThreads * kRounds * static_cast<int>(tasks));
}

// Two handles of different modes and text options, judged from eight
// threads at once, one call at a time and in batches, agree with one thread.
TEST(JudgeThreads, TwoModelsOfDifferentSettingsSideBySide) {
  TempDir dir;
  corpus::WriteModel(dir.path(), 1);
  const std::string stop_words = dir / "stop.txt";
  WriteFile(stop_words, "THE AND\n");
  tessel_open_options_t shingles, words;
  tessel_open_options_default(&shingles);
  tessel_open_options_default(&words);
  shingles.shingle_length = 1, shingles.stop_words = stop_words.c_str();
  words.mode = TESSEL_MODE_LANGUAGE_MODEL;
  tessel_t* models[2] = {tessel_open_with(dir.path().c_str(), &shingles, nullptr),
                         tessel_open_with(dir.path().c_str(), &words, nullptr)};
  ASSERT_NE(models[0], nullptr);
  ASSERT_NE(models[1], nullptr);
  std::vector<std::string> texts;
  for (const std::string& name : corpus::Documents()) texts.push_back(ReadFile(name));
  auto judge = [&](size_t task) {
    tessel_verdict_t verdict;
    tessel_verdict_init(&verdict);
    const std::string& text = texts[task / 2];
    tessel_judge_text(models[task % 2], text.data(), text.size(), nullptr, &verdict, nullptr);
    return std::to_string(verdict.verdict) + ' ' + std::to_string(verdict.protected_count) + ' ' +
           std::to_string(verdict.protected_score);
  };
  const size_t tasks = 2 * texts.size();
  std::vector<std::string> expected;
  for (size_t task = 0; task < tasks; ++task) expected.push_back(judge(task));
  std::vector<tessel_item_t> items;
  for (const std::string& text : texts) items.push_back({sizeof(tessel_item_t), nullptr, text.data(), text.size()});
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (size_t k = 0; k < 3 * tasks; ++k) {
        const size_t task = (k + static_cast<size_t>(t) * 5) % tasks;
        mismatches += judge(task) != expected[task];
      }
      std::vector<tessel_verdict_t> batch(texts.size());
      for (tessel_verdict_t& verdict : batch) tessel_verdict_init(&verdict);
      tessel_judge_many(models[t % 2], items.data(), items.size(), nullptr, batch.data(), nullptr, 3,
                        nullptr);
      for (size_t i = 0; i < texts.size(); ++i)
        mismatches += batch[i].verdict != std::stoi(expected[2 * i + t % 2]);
    });
  }
  for (std::thread& thread : threads) thread.join();
  tessel_close(models[0]), tessel_close(models[1]);
  EXPECT_EQ(mismatches, 0);
  int flagged[2] = {0, 0};
  for (size_t task = 0; task < tasks; ++task) flagged[task % 2] += expected[task][0] == '1';
  EXPECT_GT(flagged[0], 0);
  EXPECT_GT(flagged[1], 0);
}

}  // namespace
