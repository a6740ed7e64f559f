#include "tool/json_output.h"

#include "scoring/indexed_judge.h"

#include <gtest/gtest.h>

#include <string>

#include "core/text_words.h"

// Valid sequences pass whole; every byte of an invalid one (overlong forms,
// surrogates, code points past U+10FFFF, cut sequences) becomes U+00XX.
TEST(PathAsUtf8, KeepsUtf8AndMapsOtherBytesToTheirCodePoints) {
  EXPECT_EQ(PathAsUtf8("a\tb/\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80"),
            "a\tb/\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(PathAsUtf8("\xFF"), "\xC3\xBF");
  EXPECT_EQ(PathAsUtf8("\xC0\x80"), "\xC3\x80\xC2\x80");
  EXPECT_EQ(PathAsUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
  EXPECT_EQ(PathAsUtf8("\xF4\x90\x80\x80"), "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80");
  EXPECT_EQ(PathAsUtf8("\xE2\x82x"), "\xC3\xA2\xC2\x82x");
  EXPECT_EQ(PathAsUtf8("\xE0\x9F\xBF"), "\xC3\xA0\xC2\x9F\xC2\xBF");
}

// With a shift of 2 the formulas see every other word: the window's words
// k are words 2k of the text, and its bytes run from the first to the end
// of the last, whatever lies between.
TEST(JsonLanguageModelLine, LocatesTheWindowInTheDocumentsBytes) {
  TextOptions options;
  options.shingle_shift = 2;
  TextWords text(options);
  const std::string document = "aa, bb cc\n dd \xC5\xC5 ff .";
  text.Feed(document.data(), document.size());
  text.Finish();
  lm::Result result;
  result.verdict = true, result.protected_score = 0.5, result.phrase_first = 1;
  result.phrase_words = 2;
  EXPECT_EQ(JsonLanguageModelLine("d", 7, result, PhraseBytesOf(result, text)),
            "{\"type\":\"document\",\"version\":1,\"path\":\"d\",\"mode\":\"language-model\","
            "\"formula\":3,\"verdict\":true,\"score\":null,\"window\":{\"protected_score\":0.5,"
            "\"unprotected_score\":0.0,\"offset\":7,\"length\":9,"
            "\"phrase\":\"cc \xD0\x95\xD0\x95\"}}\n");
  result.verdict = false;
  EXPECT_NE(JsonLanguageModelLine("d", 1, result, PhraseBytesOf(result, text)).find("\"window\":null"),
            std::string::npos);
}
