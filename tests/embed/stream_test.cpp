// A document pushed in pieces is judged exactly as the same bytes in one
// buffer, in every mode, however it is cut.
#include <cstring>
#include <filesystem>
#include <random>

#include "corpus_model.h"
#include "support/run_tool.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kCorpus = TESSEL_EXAMPLES;

class Stream : public LmSettingsTest {
 protected:
  tessel_t* Train(std::vector<std::string> train, int64_t mode, int64_t sources) {
    train.insert(train.begin(),
                 {"-p", kCorpus + "/protected/*.txt", "-u", kCorpus + "/unprotected/*.txt", "-v"});
    RunToolIn(dir_.path(), train);
    tessel_open_options_t open = OpenDefaults();
    open.mode = mode, open.sources = sources;
    return tessel_open_with(dir_.path().c_str(), &open, nullptr);
  }
  std::string Doc(const std::string& name) { return ReadFile(kCorpus + "/docs/" + name); }

  // Streams text in pieces of the sizes next() gives; the result, the
  // verdict and the message.
  template <typename Next>
  int Streamed(tessel_t* model, const std::string& text, const char* name,
               const tessel_judge_options_t* options, tessel_verdict_t& verdict, Next next) {
    verdict = NewVerdict();
    tessel_stream_t* stream = tessel_stream_open(model, name, options, &error_);
    for (size_t at = 0; at < text.size();) {
      const size_t piece = std::min(next(), text.size() - at);
      if (tessel_stream_write(stream, text.data() + at, piece, &error_) != 0) break;
      at += piece;
    }
    const int rc = tessel_stream_finish(stream, &verdict, &error_);
    tessel_stream_close(stream);
    return rc;
  }

  TempDir dir_;
  char* error_ = nullptr;
};

// Every piece size from one byte up, and pieces of random sizes, cut words,
// UTF-8 characters and CRLF line ends everywhere; the long text goes past
// the language model's window of held words several times.
TEST_F(Stream, JudgesAsTheBufferWhateverTheChunking) {
  const std::string notice = Doc("ru_notice.txt"), leak = Doc("ru_leak.txt");
  std::string crlf_mixed;
  for (char c : notice + "\n" + ToUtf8(leak) + "\n" + Doc("weekly_update.txt"))
    crlf_mixed += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::string long_text;
  while (long_text.size() < (size_t{3} << 20)) long_text += Doc("forwarded_email.txt") + leak;
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
    tessel_t* model = Train(mode.train, mode.mode, mode.sources);
    ASSERT_NE(model, nullptr);
    tessel_judge_options_t options = JudgeDefaults();
    options.formula = mode.formula, options.score = 1;
    for (const std::string& text : texts) {
      tessel_verdict_t whole = NewVerdict(), streamed;
      const int expected = tessel_judge_buffer(model, text.data(), text.size(), "doc.txt",
                                               &options, &whole, nullptr);
      ASSERT_GE(expected, 0);
      for (size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{0}}) {
        if (size == 1 && text.size() > 100000 && mode.mode != TESSEL_MODE_SHINGLES) continue;
        std::uniform_int_distribution<size_t> odd(1, 5000);
        EXPECT_EQ(Streamed(model, text, "doc.txt", &options, streamed,
                           [&] { return size != 0 ? size : odd(random); }), expected);
        EXPECT_EQ(std::memcmp(&whole, &streamed, sizeof whole), 0)
            << mode.mode << " " << mode.formula << " " << text.size() << " by " << size;
      }
    }
    tessel_close(model);
  }
}

}  // namespace
