// Character classes of Windows-1251 (and ASCII) text, and the way between
// Windows-1251 and Unicode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// 1 for the ASCII letters and the 64 Cyrillic letters 0xC0..0xFF, else 0.
int isalpha_cp1251(int code);
// 0xE0..0xFF become 0xC0..0xDF; every other code, ASCII included, is unchanged.
int toupper_cp1251(int code);
// 0xC0..0xDF become 0xE0..0xFF; every other code is unchanged.
int tolower_cp1251(int code);

// The Windows-1251 byte of a Unicode code point, or 0 when Windows-1251 has
// no such character (0 separates words like any other non-letter).
unsigned char Cp1251Of(uint32_t code_point);
// The code point of a Windows-1251 byte; 0x98, which has none, gives U+FFFD.
uint32_t UnicodeOfCp1251(unsigned char byte);
// Windows-1251 text as UTF-8.
std::string Cp1251ToUtf8(std::string_view text);
// Whether a text of unknown encoding is UTF-8: it starts with a byte-order
// mark, or it is valid UTF-8 holding at least one multi-byte character.
// Every ASCII and nearly every Windows-1251 text is not.
bool LooksLikeUtf8(std::string_view text);
// UTF-8 text as Windows-1251 bytes, without a leading byte-order mark; a
// character Windows-1251 lacks, and a byte that is not UTF-8, become NUL.
std::string Utf8ToCp1251(std::string_view text);

// Decodes UTF-8 one byte at a time, strictly: overlong forms, surrogates and
// code points above U+10FFFF are not UTF-8.
class Utf8Decoder {
 public:
  enum Step {
    kPending,    // the byte began or continued a sequence
    kCharacter,  // the byte completed a character: code_point()
    kInvalid,    // the byte can begin no sequence
    kBroken,     // the byte cannot continue the sequence begun before it; it
                 // was not taken and may begin a new one
  };
  Step Push(unsigned char byte);
  uint32_t code_point() const { return code_; }
  bool mid_sequence() const { return needed_ > 0; }

 private:
  uint32_t code_ = 0;
  int needed_ = 0;  // continuation bytes still to come
  unsigned char low_ = 0x80, high_ = 0xBF;  // the range of the next one
};
