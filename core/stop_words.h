// Stop-word files: white-space separated words.
#pragma once

#include <string>

#include "core/text_options.h"

// Adds the white-space separated words of a file to words; false, with
// nothing added, when the file cannot be opened. The file is read in the
// encoding of the texts' options (a UTF-8 file becomes the Windows-1251 bytes
// of its words), and with their upper_case the words are upper-cased as the
// texts' words are; otherwise the words are taken byte for byte.
bool ReadStopWords(const std::string& file_name, StopWordSet& words,
                   const TextOptions& texts = TextOptions());
