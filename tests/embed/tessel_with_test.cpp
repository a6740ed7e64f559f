// The options interface beyond its verdicts: a batch whose threads are
// refused, refusals that say why and of what kind, items without a buffer,
// the processors a batch counts. That it judges as
// the tool does, in every mode and formula over both corpora, is checked
// through the Python package (bindings/python/test_options.py).
#include <sched.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <sstream>
#include <system_error>
#include <thread>

#include "core/thread_start.h"

#include "embed/tessel.h"
#include "support/test_support.h"
#include "corpus_model.h"

namespace {

// The documents of the language-model corpus judged in one batch: name,
// verdict and protected score a line.
std::string Judged(tessel_t* model) {
  const std::vector<std::string> names = corpus::Texts(TESSEL_TEST_DATA "/lm/docs");
  std::vector<tessel_item_t> items(names.size());
  for (size_t i = 0; i < names.size(); ++i) items[i] = {sizeof(tessel_item_t), names[i].c_str(), nullptr, 0};
  std::vector<tessel_verdict_t> verdicts(names.size(), NewVerdict());
  EXPECT_EQ(tessel_judge_many(model, items.data(), items.size(), nullptr, verdicts.data(), nullptr,
                              2, nullptr),
            0);
  std::ostringstream out;
  for (size_t i = 0; i < names.size(); ++i)
    out << names[i] << ' ' << verdicts[i].verdict << ' ' << verdicts[i].protected_score << '\n';
  return out.str();
}

tessel_t* OpenWith(const std::string& dir, int64_t mode, int64_t shift, char** error) {
  tessel_open_options_t open = OpenDefaults();
  open.mode = mode, open.shingle_length = 5, open.shingle_shift = shift;
  return tessel_open_with(dir.c_str(), &open, error);
}

std::thread RefuseThread(std::function<void()>) {
  throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

std::atomic<int> started{0};
std::thread CountedThread(std::function<void()> work) {
  ++started;
  return std::thread(std::move(work));
}

// Threads the system refuses leave a batch to the calling thread, with the
// same verdicts. Without a number of threads, a batch takes one per processor
// the process may run on, as the tool's -j does: none beside the caller on one.
TEST(ThreadRunner, ABatchTakesTheProcessorsItMayRunOnOrTheCallerAlone) {
  const corpus::ModelDir dir(0);
  tessel_t* model = OpenWith(dir.path(), TESSEL_MODE_LANGUAGE_MODEL, 1, nullptr);
  ASSERT_NE(model, nullptr);
  const std::string threaded = Judged(model);
  const ThreadStarter standard = SetThreadStarter(RefuseThread);
  const std::string alone = Judged(model);
  EXPECT_EQ(alone, threaded);
  EXPECT_NE(threaded.find(" 1 "), std::string::npos);
  std::vector<tessel_item_t> items(4, {sizeof(tessel_item_t), nullptr, "a b c", 5});
  std::vector<tessel_verdict_t> verdicts(items.size(), NewVerdict());
  cpu_set_t all, one;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  CPU_ZERO(&one);
  for (int cpu = 0; CPU_COUNT(&one) == 0; ++cpu)
    if (CPU_ISSET(cpu, &all)) CPU_SET(cpu, &one);
  SetThreadStarter(CountedThread);
  for (cpu_set_t* allowed : {&one, &all}) {
    ASSERT_EQ(sched_setaffinity(0, sizeof *allowed, allowed), 0);
    started = 0;
    EXPECT_EQ(tessel_judge_many(model, items.data(), items.size(), nullptr, verdicts.data(),
                                nullptr, 0, nullptr),
              0);
    EXPECT_EQ(started, std::min(CPU_COUNT(allowed), 4) - 1);
  }
  SetThreadStarter(standard);
  tessel_close(model);
}

// A call the interface refuses says why: a batch with refused options, open
// options out of range, an unknown encoding. A batch's item that fails fails
// alone.
TEST(OptionsInterface, RefusalsSayWhyAndAMissingBufferFailsOnlyItsItem) {
  const corpus::ModelDir dir(1);
  tessel_t* model = OpenWith(dir.path(), TESSEL_MODE_SHINGLES, 1, nullptr);
  tessel_judge_options_t judge = JudgeDefaults();
  judge.formula = 0;
  tessel_item_t item = {sizeof(tessel_item_t), nullptr, "a b", 3};
  tessel_verdict_t verdict = NewVerdict();
  char* error = nullptr;
  EXPECT_EQ(tessel_judge_many(model, &item, 1, &judge, &verdict, nullptr, 1, &error), -1);
  EXPECT_STREQ(error, "formula must be 1, 2 or 3, not 0");
  tessel_close(model);
  EXPECT_EQ(OpenWith(dir.path(), TESSEL_MODE_SHINGLES, int64_t{1} << 40, &error), nullptr);
  EXPECT_STREQ(error, "shingle shift must be 1 to 2147483647, not 1099511627776");
  tessel_open_options_t open = OpenDefaults();
  open.encoding = 4;
  EXPECT_EQ(tessel_open_with(dir.path().c_str(), &open, &error), nullptr);
  EXPECT_STREQ(error, "unknown encoding 4");
  tessel_free(error);
  // An item without a buffer fails alone; an empty text needs no buffer and
  // judges as the empty buffer does.
  model = OpenWith(dir.path(), TESSEL_MODE_LANGUAGE_MODEL, 1, nullptr);
  ASSERT_NE(model, nullptr);
  const std::string text = ReadFile(corpus::kSides[1][0][0]);
  const tessel_item_t items[] = {{sizeof(tessel_item_t), nullptr, nullptr, 100},
                                 {sizeof(tessel_item_t), nullptr, text.data(), text.size()},
                                 {sizeof(tessel_item_t), nullptr, nullptr, 0}};
  tessel_verdict_t verdicts[3] = {NewVerdict(), NewVerdict(), NewVerdict()};
  char* errors[3];
  EXPECT_EQ(tessel_judge_many(model, items, 3, nullptr, verdicts, errors, 2, nullptr), 1);
  std::string said;  // each item's verdict and error
  for (int i = 0; i < 3; ++i)
    said += std::to_string(verdicts[i].verdict) + " " + (errors[i] ? errors[i] : "-") + "|";
  EXPECT_EQ(said, "-1 no text given|1 -|0 -|");
  tessel_free(errors[0]);
  tessel_verdict_t empty = NewVerdict();
  EXPECT_EQ(tessel_judge_text(model, nullptr, 0, nullptr, &empty, nullptr), 0);
  EXPECT_EQ(tessel_judge_text(model, "", 0, nullptr, &verdicts[2], nullptr), 0);
  EXPECT_EQ(std::memcmp(&empty, &verdicts[2], sizeof empty), 0);
  EXPECT_EQ(tessel_judge(model, nullptr, 0, nullptr, nullptr, nullptr), 0);
  tessel_close(model);
}

}  // namespace
