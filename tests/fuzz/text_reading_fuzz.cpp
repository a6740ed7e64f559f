// Reading a text of unknown encoding, fed in pieces of any size: the words
// are those of reading the whole text at once with the encoding the
// automatic reading decides on, and every word lies in the bytes given (in
// UTF-8, its bytes decode to the word, upper-cased; in Windows-1251 they are
// its letters, one byte each).
#include <string>
#include <vector>

#include "core/charset.h"
#include "core/text_words.h"
#include "support/test_support.h"

namespace {

struct Read {
  std::vector<std::string> words;
  std::vector<std::pair<size_t, size_t>> places;
  bool utf8 = false;
};

Read ReadIn(const std::string& text, TextEncoding encoding, size_t piece) {
  TextOptions options;
  options.encoding = encoding;
  TextWords words(options);
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

std::string UpperCased(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper_cp1251(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const size_t piece = static_cast<size_t>(input.Pick(1, 64));
  const std::string text = input.Rest();
  const Read pieces = ReadIn(text, TextEncoding::kAuto, piece);
  const bool utf8 = LooksLikeUtf8(text);
  const Read whole =
      ReadIn(text, utf8 ? TextEncoding::kUtf8 : TextEncoding::kCp1251, text.size() + 1);
  if (pieces.utf8 != utf8 || pieces.words != whole.words || pieces.places != whole.places) abort();
  size_t previous_end = 0;
  for (size_t k = 0; k < whole.words.size(); ++k) {
    const auto [start, end] = whole.places[k];
    if (start < previous_end || end <= start || end > text.size()) abort();
    const std::string source = text.substr(start, end - start);
    if (UpperCased(utf8 ? Utf8ToCp1251(source) : source) != whole.words[k]) abort();
    previous_end = end;
  }
  return 0;
}
