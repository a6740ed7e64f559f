// Many threads judging against one open model see what one thread sees. The
// TSan configuration (-DTESSEL_TSAN=ON) runs this test under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "corpus_model.h"
#include "embed/tessel.h"
#include "support/test_support.h"

namespace {

struct Task {
  std::string text;
  tessel_settings_t settings;
  tessel_result_t expected;
};

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
  std::vector<Task> tasks;
  for (const std::string& name : corpus::Documents()) {
    for (int log = 0; log <= 1; ++log) {
      Task task{ReadFile(name), {}, {}};
      tessel_settings_default(&task.settings);
      task.settings.log = log;
      tessel_judge(model, task.text.data(), task.text.size(), &task.settings, &task.expected,
                   nullptr);
      tasks.push_back(task);
    }
  }
  constexpr int kThreads = 8, kRounds = 3;
  std::atomic<int> mismatches{0}, protected_texts{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    // Each thread starts at a different document, so different texts are
    // judged at the same moment.
    threads.emplace_back([&, t] {
      for (size_t k = 0; k < kRounds * tasks.size(); ++k) {
        const Task& task = tasks[(k + static_cast<size_t>(t) * 5) % tasks.size()];
        tessel_result_t result;
        const int verdict = tessel_judge(model, task.text.data(), task.text.size(),
                                         &task.settings, &result, nullptr);
        if (verdict != result.verdict || !Same(result, task.expected)) ++mismatches;
        protected_texts += verdict;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  tessel_close(model);
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(protected_texts, 0);
  EXPECT_LT(protected_texts, kThreads * kRounds * static_cast<int>(tasks.size()));
}

}  // namespace
