// An open model judges with its files as they were when it was opened,
// whatever is done to them afterwards, and no model is read from a directory
// whose last save did not finish or is still running.
#include <fcntl.h>
#include <sys/file.h>

#include <chrono>
#include <cstdio>
#include <future>

#include "core/model_description.h"
#include "corpus_model.h"
#include "embed/tessel.h"
#include "support/test_support.h"

namespace {

const char* const kNames[] = {"p.bin", "p.bin.2", "u.bin", "u.bin.2"};

// Both interfaces' verdicts (with the scores, the phrase and what the
// formula prints) of every document.
std::string Judged(tessel_model* model, const tessel_t* api, const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& text : texts) {
    tessel_result_t r;
    tessel_judge(api, text.data(), text.size(), nullptr, &r, nullptr);
    all += std::to_string(r.verdict) + " " + std::to_string(r.protected_score) + " " +
           std::to_string(r.unprotected_score) + " " + std::to_string(r.phrase_offset) + " " +
           Said([&] { return _processShingles(model, text.data(), static_cast<int>(text.size())); }) +
           "\n";
  }
  return all;
}

void WriteInPlace(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "r+");  // as cp: same file, new bytes
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
}

void Replace(const std::string& path, const std::string& bytes) {
  WriteFile(path + ".new", bytes);
  ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
}

// Each way of changing a file: cut to nothing or to a partial record, copied
// over in place by another model's file, its records rewritten in place in
// reverse (the same size), replaced by a rename, removed.
void Change(int how, const std::string& path, const std::string& other) {
  std::string reversed = ReadFile(path);
  for (size_t a = 0, b = reversed.size(); a + 16 < b; a += 16, b -= 16)
    std::swap_ranges(reversed.begin() + a, reversed.begin() + a + 16, reversed.begin() + b - 16);
  switch (how) {
    case 0: ASSERT_EQ(truncate(path.c_str(), 0), 0); break;
    case 1: ASSERT_EQ(truncate(path.c_str(), 8), 0); break;
    case 2: ASSERT_EQ(truncate(path.c_str(), 0), 0); WriteInPlace(path, other); break;
    case 3: WriteInPlace(path, reversed); break;
    case 4: Replace(path, other); break;
    case 5: ASSERT_EQ(unlink(path.c_str()), 0); break;
  }
}

TEST(ChangedModelFiles, OpenHandlesKeepTheModelTheyOpened) {
  TempDir dir, other_dir;
  corpus::WriteModel(dir.path(), 1);
  corpus::WriteModel(other_dir.path(), 0);
  std::vector<std::string> texts;
  for (const std::string& name : corpus::Documents()) texts.push_back(ReadFile(name));
  tessel_model* model = _openShingles(dir.path().c_str());
  tessel_t* api = tessel_open(dir.path().c_str(), nullptr);
  ASSERT_NE(api, nullptr);
  const std::string expected = Judged(model, api, texts);
  tessel_model* other_model = _openShingles(other_dir.path().c_str());
  tessel_t* other_api = tessel_open(other_dir.path().c_str(), nullptr);
  ASSERT_NE(Judged(other_model, other_api, texts), expected) << "the models must judge apart";
  _closeShingles(other_model);
  tessel_close(other_api);

  for (const char* name : kNames) {
    const std::string path = dir / name, saved = ReadFile(path);
    for (int how = 0; how < 6; ++how) {
      Change(how, path, ReadFile(other_dir / name));
      ASSERT_EQ(Judged(model, api, texts), expected) << name << ", change " << how;
      Replace(path, saved);
    }
  }
  _closeShingles(model);
  tessel_close(api);
}

TEST(ModelDirectory, UnfinishedSavesAreRefused) {
  TempDir dir;
  corpus::WriteModel(dir.path(), 0);
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

TEST(ModelDirectory, OpeningWaitsForASaveInProgress) {
  TempDir dir;
  corpus::WriteModel(dir.path(), 0);
  const int lock = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);  // as a save holds it while it renames
  auto opened = std::async(std::launch::async, [&] { return tessel_open(dir.path().c_str(), nullptr); });
  EXPECT_EQ(opened.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  close(lock);
  tessel_t* api = opened.get();
  EXPECT_NE(api, nullptr);
  tessel_close(api);
}

// A host tells why a model was refused by its code, with or without a message.
TEST(ModelDirectory, RefusalsCarryTheirKind) {
  TempDir dir;
  auto code = [](const std::string& directory) {
    EXPECT_EQ(tessel_open(directory.c_str(), nullptr), nullptr);
    return tessel_last_error_code();
  };
  EXPECT_EQ(code(dir / "missing"), TESSEL_ERROR_NOT_FOUND);
  WriteFile(dir / "file", "");
  EXPECT_EQ(code(dir / "file"), TESSEL_ERROR_NOT_DIRECTORY);
  corpus::WriteModel(dir.path(), 0);
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
  TempDir good;
  corpus::WriteModel(good.path(), 0);
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
