// The document pipeline of the options interface against the tool: the
// graded score and the named source of each mode, the robust mode, streams
// judged as buffers, and the converters and the binary check of file, buffer
// and stream calls.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>

#include "embed/tessel.h"
#include "support/run_tool.h"
#include "support/test_support.h"
#include "corpus_model.h"

namespace {

namespace fs = std::filesystem;

class Pipeline : public LmSettingsTest {
 protected:
  void SetUp() override { fs::copy(TESSEL_EXAMPLES, dir_ / "corpus", fs::copy_options::recursive); }
  // Trains the example corpus with the tool's options into dir_, and judges
  // its documents with --format=json when given options to judge with: one
  // object per document, by file name.
  std::map<std::string, nlohmann::json> Train(std::vector<std::string> train,
                                              std::vector<std::string> judge = {}) {
    train.insert(train.begin(), {"-p", "corpus/protected/*.txt", "-u", "corpus/unprotected/*.txt", "-v"});
    RunToolIn(dir_.path(), train);
    if (judge.empty()) return {};
    judge.insert(judge.begin(), {"-f", "-p", "p.bin", "-u", "u.bin", "--format=json", "-d",
                                 "corpus/docs/*.txt"});
    std::istringstream lines(RunToolIn(dir_.path(), judge));
    std::map<std::string, nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);) {
      nlohmann::json object = nlohmann::json::parse(line);
      if (object["type"] == "document") objects[fs::path(object["path"]).filename()] = object;
    }
    return objects;
  }

  // A handle on the model in dir_; only a caller that asks for the error
  // code expects a refusal, whose message is kept in message_.
  tessel_t* Open(int64_t mode, int64_t sources, int64_t* code = nullptr) {
    tessel_open_options_t open = OpenDefaults();
    open.mode = mode, open.sources = sources, open.upper_case = mode == TESSEL_MODE_ROBUST;
    char* error = nullptr;
    tessel_t* model = tessel_open_with(dir_.path().c_str(), &open, &error);
    if (code != nullptr) *code = tessel_last_error_code();
    if (model == nullptr) message_ = error;
    EXPECT_TRUE(model != nullptr || code != nullptr) << message_;
    tessel_free(error);
    return model;
  }

  std::string Doc(const std::string& name) { return dir_ / ("corpus/docs/" + name); }

  TempDir dir_;
  std::string message_;
};

// The score and source of every document against the tool's are compared by
// python.options and the gateway tests; here the source's index and name,
// and none without a sources file. The robust mode refuses such a model.
TEST_F(Pipeline, ShingleSourceNamesAFileOfTheModel) {
  Train({"--sources=1"}, {});
  int64_t code = 0;
  EXPECT_EQ(Open(TESSEL_MODE_ROBUST, 0, &code), nullptr);
  EXPECT_EQ(code, TESSEL_ERROR_INVALID_ARGUMENT);
  EXPECT_NE(message_.find("was not trained with --robust"), std::string::npos) << message_;
  tessel_t* model = Open(TESSEL_MODE_SHINGLES, 1);
  tessel_verdict_t verdict = NewVerdict();
  EXPECT_EQ(tessel_judge_file(model, Doc("ru_leak.txt").c_str(), nullptr, &verdict, nullptr), 1);
  ASSERT_NE(verdict.source_name, nullptr);
  EXPECT_EQ(std::string(verdict.source_name), "corpus/protected/ru_contract.txt");
  EXPECT_EQ(tessel_source_name(model, verdict.source), verdict.source_name);
  EXPECT_EQ(tessel_source_name(model, 1000), nullptr);
  tessel_close(model);
  fs::remove(dir_ / "tessel.sources");
  model = Open(TESSEL_MODE_SHINGLES, 1);
  EXPECT_EQ(tessel_judge_file(model, Doc("ru_leak.txt").c_str(), nullptr, &verdict, nullptr), 1);
  EXPECT_EQ(verdict.source, -1);
  tessel_close(model);
}

TEST_F(Pipeline, LanguageModelScoreIsTheBestWindowsMargin) {
  auto tool = Train({"-o", "1"}, {"-o", "1"});
  tessel_t* model = Open(TESSEL_MODE_LANGUAGE_MODEL, 0);
  tessel_judge_options_t options = JudgeDefaults();
  options.score = 1;
  for (auto& [name, object] : tool) {
    tessel_verdict_t verdict = NewVerdict(), unscored = NewVerdict();
    ASSERT_GE(tessel_judge_file(model, Doc(name).c_str(), &options, &verdict, nullptr), 0);
    // Without the option: the same verdict, and no score.
    EXPECT_EQ(tessel_judge_file(model, Doc(name).c_str(), nullptr, &unscored, nullptr),
              verdict.verdict);
    EXPECT_TRUE(std::isnan(unscored.score));
    const nlohmann::json score =
        std::isnan(verdict.score) ? nlohmann::json() : nlohmann::json(verdict.score);
    EXPECT_EQ(score, object["score"]) << name;
    EXPECT_EQ(verdict.source, -1);  // opened without sources
  }
  tessel_close(model);
}

// A document is flagged exactly when its chain reaches the threshold, 27 by
// default.
TEST_F(Pipeline, RobustModeFlagsAtTheThreshold) {
  auto tool = Train({"--robust"}, {"--robust"});
  tessel_t* model = Open(TESSEL_MODE_ROBUST, 0);
  tessel_judge_options_t options = JudgeDefaults();
  EXPECT_EQ(options.robust_threshold, 27);
  int flagged = 0;
  for (auto& [name, object] : tool) {
    tessel_verdict_t verdict = NewVerdict();
    options.robust_threshold = 14;
    const int verdict_at_14 = tessel_judge_file(model, Doc(name).c_str(), &options, &verdict, nullptr);
    EXPECT_EQ(verdict_at_14, verdict.score >= 14 ? 1 : 0) << name;
    flagged += verdict_at_14;
    options.robust_threshold = verdict.score + 1;
    EXPECT_EQ(tessel_judge_file(model, Doc(name).c_str(), &options, &verdict, nullptr), 0) << name;
  }
  EXPECT_GT(flagged, 0);
  tessel_close(model);
}

TEST_F(Pipeline, StreamsJudgeAsTheBufferWhateverTheChunking) {
  const auto read = [&](const char* name) { return ReadFile(Doc(name)); };
  const std::string notice = read("ru_notice.txt"), leak = read("ru_leak.txt");
  std::string crlf_mixed;
  for (char c : notice + "\n" + ToUtf8(leak) + "\n" + read("weekly_update.txt"))
    crlf_mixed += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::string long_text;
  while (long_text.size() < (size_t{3} << 20)) long_text += read("forwarded_email.txt") + leak;
  const std::vector<std::string> texts = {leak, ToUtf8(leak), "\xEF\xBB\xBF" + ToUtf8(notice),
                                          crlf_mixed, long_text, ""};
  struct Mode { std::vector<std::string> train; int64_t mode, sources, formula; };
  const Mode modes[] = {{{"--sources=1"}, TESSEL_MODE_SHINGLES, 1, 1},
                        {{"-o", "1"}, TESSEL_MODE_LANGUAGE_MODEL, 0, 1},
                        {{"-o", "1", "--sources=1"}, TESSEL_MODE_LANGUAGE_MODEL, 1, 2},
                        {{"-o", "1"}, TESSEL_MODE_LANGUAGE_MODEL, 0, 3},
                        {{"--robust"}, TESSEL_MODE_ROBUST, 0, 1}};
  std::mt19937 random(7);
  for (const Mode& mode : modes) {
    Train(mode.train);
    tessel_t* model = Open(mode.mode, mode.sources);
    tessel_judge_options_t options = JudgeDefaults();
    options.formula = mode.formula, options.score = 1;
    for (const std::string& text : texts) {
      tessel_verdict_t whole = NewVerdict();
      const int expected = tessel_judge_buffer(model, text.data(), text.size(), "doc.txt",
                                               &options, &whole, nullptr);
      ASSERT_GE(expected, 0);
      for (size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{0}}) {
        if (size == 1 && text.size() > 100000 && mode.mode != TESSEL_MODE_SHINGLES) continue;
        std::uniform_int_distribution<size_t> odd(1, 5000);
        tessel_verdict_t streamed = NewVerdict();
        tessel_stream_t* stream = tessel_stream_open(model, "doc.txt", &options, nullptr);
        for (size_t at = 0, piece; at < text.size(); at += piece) {
          piece = std::min(size != 0 ? size : odd(random), text.size() - at);
          ASSERT_EQ(tessel_stream_write(stream, text.data() + at, piece, nullptr), 0);
        }
        EXPECT_EQ(tessel_stream_finish(stream, &streamed, nullptr), expected);
        tessel_stream_close(stream);
        EXPECT_EQ(std::memcmp(&whole, &streamed, sizeof whole), 0)
            << mode.mode << " " << mode.formula << " " << text.size() << " by " << size;
      }
    }
    tessel_close(model);
  }
}

// A judgement's memory is reused by the next one: what came before a
// document (a long one whose memory is partly let go, a stream abandoned
// mid-character, one refused as binary, a handle of another mode) changes
// nothing of its verdict, which stays the tool's.
TEST_F(Pipeline, AJudgementInheritsNothingFromTheOnesBefore) {
  std::mt19937 random(11);
  std::string long_text;  // more distinct shingles than a judgement's memory keeps room for
  while (long_text.size() < (size_t{2} << 20)) {
    for (size_t letters = 3 + random() % 6; letters != 0; --letters) long_text += 'a' + random() % 26;
    long_text += random() % 10 != 0 ? " " : ".\n";
  }
  const std::string leak = ToUtf8(ReadFile(Doc("ru_leak.txt")));
  struct Mode { std::vector<std::string> train; int64_t mode, sources; };
  const Mode modes[] = {{{"--sources=1"}, TESSEL_MODE_SHINGLES, 1},
                        {{"-o", "1"}, TESSEL_MODE_LANGUAGE_MODEL, 0},
                        {{"-o", "1", "--sources=1"}, TESSEL_MODE_LANGUAGE_MODEL, 1},
                        {{"--robust"}, TESSEL_MODE_ROBUST, 0}};
  for (const Mode& mode : modes) {
    auto tool = Train(mode.train, mode.train);
    tessel_t* model = Open(mode.mode, mode.sources);
    ASSERT_NE(model, nullptr) << message_;
    tessel_judge_options_t options = JudgeDefaults();
    options.score = 1;
    const std::function<void()> before[] = {
        [] {},
        [&] { tessel_judge_text(model, long_text.data(), long_text.size(), &options, nullptr, nullptr); },
        [&] {
          tessel_stream_t* stream = tessel_stream_open(model, nullptr, &options, nullptr);
          tessel_stream_write(stream, long_text.data(), long_text.size() / 2, nullptr);
          tessel_stream_write(stream, leak.data(), leak.size() - 1, nullptr);
          tessel_stream_close(stream);
        },
        [&] {
          tessel_stream_t* stream = tessel_stream_open(model, nullptr, &options, nullptr);
          tessel_stream_write(stream, leak.data(), leak.size(), nullptr);
          tessel_stream_write(stream, "\0", 1, nullptr);
          EXPECT_EQ(tessel_stream_finish(stream, nullptr, nullptr), -1);
          tessel_stream_close(stream);
        }};
    std::map<std::string, tessel_verdict_t> first;
    for (const auto& judge_before : before) {
      for (auto& [name, object] : tool) {
        judge_before();
        tessel_verdict_t verdict = NewVerdict();
        const std::string text = ReadFile(Doc(name));
        tessel_stream_t* stream = tessel_stream_open(model, nullptr, &options, nullptr);
        ASSERT_EQ(tessel_stream_write(stream, text.data(), text.size(), nullptr), 0);
        EXPECT_EQ(tessel_stream_finish(stream, &verdict, nullptr), object["verdict"] ? 1 : 0)
            << mode.mode << " " << name;
        tessel_stream_close(stream);
        if (!object["score"].is_null()) {
          EXPECT_EQ(verdict.score, object["score"].get<double>()) << mode.mode << " " << name;
        }
        if (!first.count(name)) first[name] = verdict;
        EXPECT_EQ(std::memcmp(&first[name], &verdict, sizeof verdict), 0) << mode.mode << " " << name;
        ASSERT_GE(tessel_judge_file(model, Doc(name).c_str(), &options, &verdict, nullptr), 0);
        EXPECT_EQ(std::memcmp(&first[name], &verdict, sizeof verdict), 0) << mode.mode << " " << name;
      }
    }
    tessel_close(model);
  }
}

// A converter that drops the NUL bytes of the document it is given, notes
// the path it was given in log, and fails for a name holding "fail".
void WriteConverter(const std::string& path, const std::string& log) {
  WriteFile(path, "#!/bin/sh\necho \"$1\" >>" + log + "\ncase $1 in *fail*) exit 3;; esac\n" +
                      "tr -d '\\000' <\"$1\"\n");
  fs::permissions(path, fs::perms::owner_all);
}

TEST_F(Pipeline, ConvertersAndTheBinaryCheck) {
  Train({}, {});
  tessel_t* model = Open(TESSEL_MODE_SHINGLES, 0);
  std::string text = ReadFile(Doc("ru_leak.txt")), binary;
  for (char c : text) binary += c, binary += '\0';  // as UTF-16 would be
  const std::string docx = dir_ / "leak.DOCX", program = dir_ / "conv", log = dir_ / "log";
  WriteFile(docx, binary);
  WriteConverter(program, log);
  tessel_verdict_t plain = NewVerdict(), verdict = NewVerdict();
  ASSERT_EQ(tessel_judge_text(model, text.data(), text.size(), nullptr, &plain, nullptr), 1);

  // Without a converter: skipped, with the tool's notice.
  char* error = nullptr;
  EXPECT_EQ(tessel_judge_file(model, docx.c_str(), nullptr, &verdict, &error), -1);
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_BINARY);
  EXPECT_EQ(std::string(error), docx + ": binary file (a NUL byte in its first 8 KiB), not judged; "
                                       "--binary judges it");
  EXPECT_EQ(tessel_judge_buffer(model, binary.data(), binary.size(), nullptr, nullptr, &verdict,
                                &error), -1);
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_BINARY);
  tessel_stream_t* stream = tessel_stream_open(model, "a.txt", nullptr, nullptr);
  for (size_t at = 0; at < binary.size() && tessel_stream_write(stream, &binary[at], 1, nullptr) == 0;)
    ++at;
  EXPECT_EQ(tessel_stream_finish(stream, &verdict, &error), -1);
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_BINARY);
  EXPECT_EQ(std::string(error).rfind("a.txt: binary file", 0), 0u) << error;
  tessel_stream_close(stream);
  tessel_judge_options_t options = JudgeDefaults();
  options.judge_binary = 1;  // judged: every NUL separates words
  EXPECT_EQ(tessel_judge_file(model, docx.c_str(), &options, &verdict, nullptr), 0);
  EXPECT_EQ(verdict.protected_count, 0);
  // tessel_judge_text judges bytes as they are, as it always has.
  EXPECT_EQ(tessel_judge_text(model, binary.data(), binary.size(), nullptr, &verdict, nullptr), 0);

  // By extension for a file, by extension or media type for a buffer.
  const std::string by_extension = ".docx=" + program, by_type = "application/pdf=" + program;
  const char* converters[] = {by_extension.c_str(), by_type.c_str(), nullptr};
  tessel_judge_options_default(&options);
  options.converters = converters;
  EXPECT_EQ(tessel_judge_file(model, docx.c_str(), &options, &verdict, nullptr), 1);
  EXPECT_EQ(verdict.protected_count, plain.protected_count);
  const std::string temporary = dir_ / "tmp";
  fs::create_directory(temporary);
  setenv("TMPDIR", temporary.c_str(), 1);
  for (const char* name : {"mail/leak.docx", "application/PDF; name=x", "Application/pdf"}) {
    tessel_verdict_init(&verdict);
    EXPECT_EQ(tessel_judge_buffer(model, binary.data(), binary.size(), name, &options, &verdict,
                                  &error), 1) << name << ": " << (error ? error : "");
    EXPECT_EQ(verdict.protected_count, plain.protected_count) << name;
  }
  // A stream converts at its end, as the buffer; abandoned before it, it
  // leaves nothing behind.
  tessel_verdict_t streamed = NewVerdict();
  for (const bool finish : {true, false}) {
    stream = tessel_stream_open(model, "application/pdf", &options, nullptr);
    for (size_t at = 0; at < binary.size(); at += 7)
      ASSERT_EQ(tessel_stream_write(stream, &binary[at], std::min<size_t>(7, binary.size() - at),
                                    nullptr), 0);
    if (finish) { EXPECT_EQ(tessel_stream_finish(stream, &streamed, nullptr), 1); }
    tessel_stream_close(stream);
  }
  EXPECT_EQ(std::memcmp(&verdict, &streamed, sizeof verdict), 0);
  stream = tessel_stream_open(model, nullptr, nullptr, nullptr);  // finished, it takes no more
  EXPECT_EQ(tessel_stream_finish(stream, nullptr, nullptr), 0);
  EXPECT_EQ(tessel_stream_write(stream, "x", 1, &error), -1);
  EXPECT_EQ(std::string(error), "the stream is already finished");
  tessel_stream_close(stream);
  EXPECT_TRUE(fs::is_empty(temporary));  // every copy is removed with its directory
  const std::string given = ReadFile(log);
  EXPECT_NE(given.find(temporary + "/tessel-"), std::string::npos) << given;
  EXPECT_NE(given.find("/document.pdf\n"), std::string::npos) << given;
  EXPECT_EQ(given.substr(given.rfind('/')), "/document.pdf\n");  // the stream's, last
  EXPECT_NE(given.find("/document.docx\n"), std::string::npos) << given;
  unsetenv("TMPDIR");

  // A converter that fails: its reason, as the tool gives it.
  const std::string failing = dir_ / "fail.docx";
  WriteFile(failing, binary);
  EXPECT_EQ(tessel_judge_file(model, failing.c_str(), &options, &verdict, &error), -1);
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_PREPROCESSOR);
  EXPECT_EQ(std::string(error), failing + ": not judged: " + program + " exited with status 3");
  const char* wrong[] = {"docx", nullptr};
  options.converters = wrong;
  EXPECT_EQ(tessel_judge_file(model, docx.c_str(), &options, &verdict, &error), -1);
  EXPECT_EQ(tessel_last_error_code(), TESSEL_ERROR_INVALID_ARGUMENT);
  tessel_free(error);
  tessel_close(model);
}

}  // namespace
