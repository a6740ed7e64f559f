#include <string>
#include <vector>

#include "core/charset.h"
#include "core/text_words.h"
#include "support/test_support.h"
#include "support/text_reading.h"

namespace {

TEST(Charset, EveryWindows1251ByteMapsBothWaysAsTheSystemConverterDoes) {
  for (int byte = 0x01; byte < 0x100; ++byte) {
    if (byte == 0x98) continue;  // no character
    const std::string single(1, static_cast<char>(byte));
    const std::string utf8 = ToUtf8(single);
    EXPECT_EQ(Cp1251ToUtf8(single), utf8) << byte;
    EXPECT_EQ(Cp1251Of(UnicodeOfCp1251(static_cast<unsigned char>(byte))), byte) << byte;
  }
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");  // the one unassigned byte
  EXPECT_EQ(Cp1251Of(0x00E9), 0);   // é: not in Windows-1251
  EXPECT_EQ(Cp1251Of(0x1F600), 0);  // beyond the plane
}

TEST(Charset, DecoderRefusesWhatIsNotUtf8) {
  auto steps = [](std::string bytes) {
    Utf8Decoder decoder;
    std::string out;
    for (char c : bytes) out += "PCIB"[decoder.Push(static_cast<unsigned char>(c))];
    return out;
  };
  EXPECT_EQ(steps("\xD0\x90"), "PC");
  EXPECT_EQ(steps("\xF0\x9F\x98\x80"), "PPPC");
  // A broken sequence's last byte is not taken; pushed alone, a
  // continuation byte is invalid.
  EXPECT_EQ(steps("\xC0\x80"), "II");        // overlong lead
  EXPECT_EQ(steps("\xE0\x80\x80"), "PBI");   // overlong three-byte form
  EXPECT_EQ(steps("\xED\xA0\x80"), "PBI");   // surrogate
  EXPECT_EQ(steps("\xF4\x90\x80\x80"), "PBII");  // above U+10FFFF
  EXPECT_EQ(steps("\xE0\xE1"), "PB");        // Windows-1251 "аб"
}

TEST(TextWords, AutoReadsUtf8OnlyWhenItIsValidAndNotPlainAscii) {
  const std::string ascii = "plain text here\n";
  EXPECT_FALSE(ReadText(ascii, TextEncoding::kAuto).utf8);
  // A byte-order mark decides at once, whatever follows.
  const Read marked = ReadText("\xEF\xBB\xBFz\xD0\x90\xFF.", TextEncoding::kAuto, 1);
  EXPECT_TRUE(marked.utf8);
  EXPECT_EQ(marked.words, (std::vector<std::string>{"z\xc0"}));
  EXPECT_EQ(marked.places[0], (std::pair<size_t, size_t>{3, 6}));
  // One character, then one cut off: the line is Windows-1251.
  const Read cut = ReadText("\xD0\x90 x\xD0", TextEncoding::kAuto, 2);
  EXPECT_FALSE(cut.utf8);
  EXPECT_EQ(cut.words, (std::vector<std::string>{"\xD0"}));
  // Explicit UTF-8: what does not decode separates words.
  EXPECT_EQ(ReadText("ab\xFF" "cd\xD0 ef\xE0\x80gh.", TextEncoding::kUtf8).words,
            (std::vector<std::string>{"ab", "cd", "ef", "gh"}));
}

// Automatic reading decides each line for itself: a UTF-8 passage in a
// Windows-1251 text, or a stray byte in a UTF-8 one, costs only its line.
TEST(TextWords, AutoDecidesEachLine) {
  const std::string host = "\xcf\xf0\xe8\xe2\xe5\xf2 \xec\xe8\xf0 one\n";
  const std::string passage = "\xe4\xe0\xeb\xe5\xea\xee \xe8 \xe1\xeb\xe8\xe7\xea\xee two\n";
  const std::vector<std::string> words = ReadText(host + passage + host, TextEncoding::kCp1251).words;
  const std::string mixed = host + ToUtf8(passage) + host;
  for (size_t piece : {size_t{0}, size_t{1}, size_t{5}}) {
    const Read read = ReadText(mixed, TextEncoding::kAuto, piece);
    EXPECT_EQ(read.words, words) << piece;
    EXPECT_FALSE(read.utf8);  // shown as its first decided line was read
    ASSERT_EQ(read.places.size(), 10u);
    EXPECT_EQ(read.places[3], (std::pair<size_t, size_t>{host.size(), host.size() + 12}));
    EXPECT_EQ(read.places[7].second, mixed.size() - host.size() + 6);
  }
  // A UTF-8 text with a stray byte at the end, or its last character cut.
  const std::string utf8 = ToUtf8(passage + passage);
  for (const std::string& spoilt : {utf8 + "\xff", utf8 + "\xd0", utf8.substr(0, utf8.size() - 1) + "\xd0"}) {
    const Read read = ReadText(spoilt, TextEncoding::kAuto, 3);
    EXPECT_TRUE(read.utf8);
    EXPECT_EQ(read.words, ReadText(utf8, TextEncoding::kAuto).words);
  }
}

TEST(TextWords, NulInTheFirstBytesMarksBinary) {
  for (auto [at, binary] : {std::pair{size_t{0}, true}, {TextWords::kBinaryHead - 1, true},
                            {TextWords::kBinaryHead, false}}) {
    std::string text(TextWords::kBinaryHead + 10, 'a');
    text[at] = '\0';
    TextWords words{TextOptions{}};
    for (size_t i = 0; i < text.size(); i += 1000)
      words.Feed(text.data() + i, std::min<size_t>(1000, text.size() - i));
    EXPECT_EQ(words.binary(), binary) << at;
  }
}

}  // namespace
