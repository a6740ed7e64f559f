#include "core/stop_words.h"

#include <cctype>
#include <iterator>
#include <sstream>

#include "core/charset.h"
#include "core/file_io.h"

bool ReadStopWords(const std::string& file_name, StopWordSet& words, const TextOptions& texts) {
  int fd = OpenInputFile(file_name, false);
  if (fd < 0) return false;
  DescriptorInput buffer(fd);
  std::string text{std::istreambuf_iterator<char>(&buffer), std::istreambuf_iterator<char>()};
  if (texts.encoding == TextEncoding::kUtf8 ||
      (texts.encoding == TextEncoding::kAuto && LooksLikeUtf8(text)))
    text = Utf8ToCp1251(text);
  if (texts.upper_case) {
    for (char& c : text)
      if (isalpha_cp1251(static_cast<unsigned char>(c)))
        c = static_cast<char>(std::toupper(toupper_cp1251(static_cast<unsigned char>(c))));
  }
  std::istringstream in(text);
  std::string word;
  while (in >> word) words.insert(word);
  return true;
}
