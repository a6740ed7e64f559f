// How a text is cut into words and shingles. Every build, training and
// judging call takes these by value or reference, so that models with
// different settings can be used side by side in one process.
#pragma once

#include <cstdint>
#include <set>
#include <string>

using StopWordSet = std::set<std::string>;

// How the bytes of a text are read. Windows-1251 is read byte for byte; UTF-8
// is decoded and every character Windows-1251 has becomes its byte there
// (any other character separates words), so both give the same words.
enum class TextEncoding : int32_t {
  kAuto,    // decided line by line: UTF-8 for a line that reads as UTF-8 with
            // at most one fault in four multi-byte characters, else
            // Windows-1251; the whole text is UTF-8 after a byte-order mark
  kUtf8,
  kCp1251,
};

struct TextOptions {
  int32_t shingle_length = 5;  // words per shingle in shingle mode
  int32_t shingle_shift = 1;   // words between the starts of consecutive shingles
  // Words dropped from every text, compared after normalisation; not owned,
  // and it must outlive every use of these options. Null: no stop words.
  const StopWordSet* stop_words = nullptr;
  // The byte-for-byte reading unless a caller asks for another one.
  TextEncoding encoding = TextEncoding::kCp1251;
  bool upper_case = false;  // ASCII letters are upper-cased like the Cyrillic ones
};
