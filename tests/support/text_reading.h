// A text's words as TextWords reads them, fed in pieces: their texts, their
// byte ranges in the text as given, and whether it was read as UTF-8.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/text_words.h"

struct Read {
  std::vector<std::string> words;
  std::vector<std::pair<size_t, size_t>> places;  // source start, end
  bool utf8 = false;
};

// piece 0: the whole text at once.
inline Read ReadText(const std::string& text, TextEncoding encoding, size_t piece = 0) {
  TextOptions options;
  options.encoding = encoding;
  TextWords words(options);
  if (piece == 0) piece = text.size() + 1;
  for (size_t at = 0; at < text.size(); at += piece)
    words.Feed(text.data() + at, std::min(piece, text.size() - at));
  words.Finish();
  Read read;
  for (size_t k = 0; k < words.size(); ++k) {
    read.words.emplace_back(words.Word(k));
    read.places.emplace_back(words.SourceOffset(k), words.SourceEnd(k));
  }
  read.utf8 = words.read_as_utf8();
  return read;
}
