// How a text becomes words by default: which bytes are letters, how they are
// upper-cased, the dropped last word and stop words, and texts fed in pieces.
#include <string_view>
#include <utility>
#include <vector>

#include "core/charset.h"
#include "core/text_words.h"
#include "support/test_support.h"
#include "support/text_reading.h"

namespace {

// Each word of a text fed in the given pieces, with where it began; the last
// entry is the words' joined text.
std::vector<std::pair<std::string, size_t>> WordsOf(const std::vector<std::string_view>& pieces,
                                                    const StopWordSet* stop_words = nullptr) {
  TextOptions options;
  options.stop_words = stop_words;
  TextWords words(options);
  for (std::string_view piece : pieces) words.Feed(piece.data(), piece.size());
  words.Finish();
  std::vector<std::pair<std::string, size_t>> found;
  for (size_t k = 0; k < words.size(); ++k)
    found.emplace_back(words.Word(k), words.SourceOffset(k));
  found.emplace_back(words.size() ? words.Span(0, words.size()) : "", words.size());
  return found;
}

// Letters are A to Z, a to z and 0xC0 to 0xFF; only 0xE0 to 0xFF change case.
TEST(Normalise, EveryByteValue) {
  for (int code = 0; code < 256; ++code) {
    const bool letter =
        (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') || code >= 0xC0;
    const int upper = code >= 0xE0 ? code - 32 : code;
    EXPECT_EQ(isalpha_cp1251(code), letter ? 1 : 0) << code;
    EXPECT_EQ(toupper_cp1251(code), upper) << code;
    EXPECT_EQ(tolower_cp1251(code), code >= 0xC0 && code < 0xE0 ? code + 32 : code) << code;
    const std::string text = {'a', static_cast<char>(code), 'a', '\n'};
    const std::vector<std::string> expected =
        letter ? std::vector<std::string>{{'a', static_cast<char>(upper), 'a'}}
               : std::vector<std::string>{"a", "a"};
    EXPECT_EQ(ReadText(text, TextEncoding::kCp1251).words, expected) << code;
  }
}

// A stop word first, a word cut by digits, runs of separators, a dropped
// stop word at the end and an open last word: the same words and offsets
// whether fed whole, in two pieces cut anywhere, or byte by byte.
TEST(Normalise, PiecesGiveTheSameWords) {
  const StopWordSet stop_words = {"the", "\xCF\xD0"};
  const std::string text = "the abc123def,,  \xEF\xF0 \xE0\xDF-x \t\xFFthe the\xCF\xD0 the open";
  const auto whole = WordsOf({text}, &stop_words);
  EXPECT_EQ(whole.back().first, "abc def \xC0\xDF x \xDFthe the\xCF\xD0");
  EXPECT_EQ(whole[1].second, 10u);
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    const std::string_view all(text);
    ASSERT_EQ(WordsOf({all.substr(0, cut), all.substr(cut)}, &stop_words), whole) << cut;
  }
  std::vector<std::string_view> bytes;
  for (size_t at = 0; at < text.size(); ++at) bytes.push_back(std::string_view(text).substr(at, 1));
  EXPECT_EQ(WordsOf(bytes, &stop_words), whole);
}

}  // namespace
