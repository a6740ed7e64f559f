#include "core/charset.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace {

// Code points of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in
// order, and 0x98 has none.
constexpr uint32_t kNoCharacter = 0xFFFD;
constexpr std::array<uint32_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    kNoCharacter, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};
constexpr uint32_t kFirstCyrillic = 0x0410;  // А, at 0xC0

using CodeAndByte = std::pair<uint32_t, unsigned char>;

// The bytes 0x80..0xBF that have a character, by code point.
std::array<CodeAndByte, 63> MakeReverseTable() {
  std::array<CodeAndByte, 63> table{};
  size_t used = 0;
  for (size_t i = 0; i < kHighHalf.size(); ++i)
    if (kHighHalf[i] != kNoCharacter)
      table[used++] = {kHighHalf[i], static_cast<unsigned char>(0x80 + i)};
  std::sort(table.begin(), table.end());
  return table;
}

const std::array<CodeAndByte, 63> kReverse = MakeReverseTable();

void AppendUtf8(uint32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {  // Windows-1251 has nothing beyond the Basic Multilingual Plane
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

int isalpha_cp1251(int code) {
  if (code >= 192 && code <= 255) return 1;
  return (code >= 0 && code <= 255 && std::isalpha(code)) ? 1 : 0;
}

int toupper_cp1251(int code) { return code >= 224 ? code - 32 : code; }

int tolower_cp1251(int code) { return (code >= 192 && code <= 223) ? code + 32 : code; }

unsigned char Cp1251Of(uint32_t code_point) {
  if (code_point < 0x80) return static_cast<unsigned char>(code_point);
  if (code_point >= kFirstCyrillic && code_point < kFirstCyrillic + 64)
    return static_cast<unsigned char>(0xC0 + (code_point - kFirstCyrillic));
  const auto found = std::lower_bound(kReverse.begin(), kReverse.end(), CodeAndByte{code_point, 0});
  return found != kReverse.end() && found->first == code_point ? found->second : 0;
}

uint32_t UnicodeOfCp1251(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return kFirstCyrillic + (byte - 0xC0);
  return kHighHalf[byte - 0x80];
}

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) AppendUtf8(UnicodeOfCp1251(static_cast<unsigned char>(c)), out);
  return out;
}

bool LooksLikeUtf8(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") return true;
  Utf8Decoder decoder;
  bool multi_byte = false;
  for (char c : text) {
    const Utf8Decoder::Step step = decoder.Push(static_cast<unsigned char>(c));
    if (step == Utf8Decoder::kInvalid || step == Utf8Decoder::kBroken) return false;
    multi_byte |= decoder.mid_sequence();
  }
  return multi_byte && !decoder.mid_sequence();
}

std::string Utf8ToCp1251(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string out;
  Utf8Decoder decoder;
  for (size_t i = 0; i < text.size(); ++i) {
    switch (decoder.Push(static_cast<unsigned char>(text[i]))) {
      case Utf8Decoder::kPending: break;
      case Utf8Decoder::kCharacter: out += static_cast<char>(Cp1251Of(decoder.code_point())); break;
      case Utf8Decoder::kInvalid: out += '\0'; break;
      case Utf8Decoder::kBroken:
        out += '\0';
        --i;  // the byte may begin the next character
        break;
    }
  }
  if (decoder.mid_sequence()) out += '\0';
  return out;
}

Utf8Decoder::Step Utf8Decoder::Push(unsigned char byte) {
  if (needed_ > 0) {
    if (byte < low_ || byte > high_) {
      needed_ = 0;
      return kBroken;
    }
    code_ = code_ << 6 | (byte & 0x3Fu);
    low_ = 0x80;
    high_ = 0xBF;
    return --needed_ == 0 ? kCharacter : kPending;
  }
  if (byte < 0x80) {
    code_ = byte;
    return kCharacter;
  }
  // The ranges of the second byte that rule out overlong forms (E0, F0),
  // surrogates (ED) and code points above U+10FFFF (F4).
  low_ = 0x80;
  high_ = 0xBF;
  if (byte >= 0xC2 && byte <= 0xDF) {
    needed_ = 1;
    code_ = byte & 0x1Fu;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    needed_ = 2;
    code_ = byte & 0x0Fu;
    if (byte == 0xE0) low_ = 0xA0;
    if (byte == 0xED) high_ = 0x9F;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    needed_ = 3;
    code_ = byte & 0x07u;
    if (byte == 0xF0) low_ = 0x90;
    if (byte == 0xF4) high_ = 0x8F;
  } else {
    return kInvalid;
  }
  return kPending;
}
