// Reading a text of unknown encoding, fed in pieces of any size: the words
// are those of reading the whole text at once, and every word lies in the
// bytes given (its line read as UTF-8: its bytes decode to the word,
// upper-cased; read byte for byte: they are its letters, one byte each).
#include <string>
#include <vector>

#include "core/charset.h"
#include "core/text_words.h"
#include "support/test_support.h"
#include "support/text_reading.h"

namespace {

std::string UpperCased(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper_cp1251(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const size_t piece = static_cast<size_t>(input.Pick(1, 64));
  const std::string text = input.Rest();
  const Read pieces = ReadText(text, TextEncoding::kAuto, piece);
  const Read whole = ReadText(text, TextEncoding::kAuto, text.size() + 1);
  if (pieces.utf8 != whole.utf8 || pieces.words != whole.words || pieces.places != whole.places)
    abort();
  size_t previous_end = 0;
  for (size_t k = 0; k < whole.words.size(); ++k) {
    const auto [start, end] = whole.places[k];
    if (start < previous_end || end <= start || end > text.size()) abort();
    const std::string source = text.substr(start, end - start);
    if (UpperCased(Utf8ToCp1251(source)) != whole.words[k] && UpperCased(source) != whole.words[k])
      abort();
    previous_end = end;
  }
  return 0;
}
