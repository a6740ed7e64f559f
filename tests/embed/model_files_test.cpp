// No model is read from a directory whose last save did not finish or is
// still running, and a refused one says why by its kind.
#include <fcntl.h>
#include <sys/file.h>

#include <chrono>
#include <future>

#include "core/model_description.h"
#include "corpus_model.h"
#include "embed/tessel.h"
#include "support/test_support.h"

namespace {

// A save in progress is waited for; an unfinished one is refused.
TEST(ModelDirectory, OpeningWaitsForASaveInProgressAndRefusesAnUnfinishedOne) {
  const corpus::ModelDir dir(0);
  const int lock = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);  // as a save holds it while it renames
  auto opened = std::async(std::launch::async, [&] { return tessel_open(dir.path().c_str(), nullptr); });
  EXPECT_EQ(opened.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  close(lock);
  tessel_t* api = opened.get();
  EXPECT_NE(api, nullptr);
  tessel_close(api);
  WriteFile(dir / "tessel.saving", "");  // as a save killed between its renames leaves it
  const std::string refusal =
      "the model in " + dir.path() + " is incomplete: a save into it did not finish; save the model again";
  char* error = nullptr;
  EXPECT_EQ(tessel_open(dir.path().c_str(), &error), nullptr);
  EXPECT_STREQ(error, refusal.c_str());
  tessel_free(error);
  // The single-threaded interface keeps its contract: a handle, judging
  // against empty sets, after the message.
  tessel_model* model = nullptr;
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_INCOMPLETE_SAVE);
  EXPECT_EQ(Said([&] { return (model = _openShingles(dir.path().c_str())) != nullptr; }),
            "T||Error: " + refusal + "\n");
  const std::string flagged = ReadFile(corpus::kSides[0][0][0]);
  EXPECT_EQ(_processShingles(model, flagged.c_str(), 0), 0);
  _closeShingles(model);
}

// A host tells why a model was refused by its code, with or without a message.
TEST(ModelDirectory, RefusalsCarryTheirKind) {
  const corpus::ModelDir dir(0);
  auto code = [](const std::string& directory) {
    EXPECT_EQ(tessel_open(directory.c_str(), nullptr), nullptr);
    return tessel_last_error_code();
  };
  EXPECT_EQ(code(dir / "missing"), TESSEL_ERROR_NOT_FOUND);
  WriteFile(dir / "file", "");
  EXPECT_EQ(code(dir / "file"), TESSEL_ERROR_NOT_DIRECTORY);
  WriteFile(dir / "p.bin.2", std::string(40, 'x'));
  EXPECT_EQ(code(dir.path()), TESSEL_ERROR_DAMAGED);
  corpus::WriteModel(dir.path(), 0);
  WriteFile(dir / kModelDescriptionFile, "not a description\n");
  EXPECT_EQ(code(dir.path()), TESSEL_ERROR_DAMAGED);
  ModelDescription described = DescribeTraining(true, TextOptions());  // counts of no files
  WriteFile(dir / kModelDescriptionFile, FormatModelDescription(described));
  EXPECT_EQ(code(dir.path()), TESSEL_ERROR_MIXED);
  described.language_model = false;
  WriteFile(dir / kModelDescriptionFile, FormatModelDescription(described));
  EXPECT_EQ(code(dir.path()), TESSEL_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(tessel_judge_file(nullptr, "x", nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_INVALID_ARGUMENT);
  // A batch's failed item carries its code; the batch itself succeeded.
  const corpus::ModelDir good(0);
  tessel_t* model = tessel_open(good.path().c_str(), nullptr);
  const std::string missing = dir / "missing";
  const tessel_item_t item = {sizeof(tessel_item_t), missing.c_str(), nullptr, 0};
  tessel_verdict_t verdict = NewVerdict();
  EXPECT_EQ(tessel_judge_many(model, &item, 1, nullptr, &verdict, nullptr, 1, nullptr), 1);
  EXPECT_EQ(verdict.error_code, TESSEL_ERROR_NOT_FOUND);
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_INVALID_ARGUMENT);
  tessel_close(model);
  // Each thread has its own.
  std::async(std::launch::async, [&] { code(dir / "missing"); }).wait();
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_INVALID_ARGUMENT);
}

}  // namespace
