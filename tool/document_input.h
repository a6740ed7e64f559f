// How the tool reads a data file for judging: the file itself, or what a
// program (--pre) makes of it; a document that is not text, or that cannot
// be read, is reported by name and not judged.
#pragma once

#include <iosfwd>
#include <string>

#include "core/text_words.h"
#include "tool/options.h"

struct DocumentReading {
  std::string preprocessor;   // empty: the file itself
  bool judge_binary = false;  // judge a document with a NUL in its first bytes
};

DocumentReading ReadingOf(const RunSettings& settings);

// How reading a data file ended.
enum class DocumentRead {
  kRead,    // its words are there to judge
  kBinary,  // refused as binary, by design: a notice, not an error
  kFailed,  // not judged because something went wrong
};

// Reads a data file into words for `builds` builds. Unless kRead, after
// messages naming it, it is not to be judged: the shift is unusable, the file
// cannot be read (the system's message as perror(name) writes it, once per
// build), the program fails (all kFailed), or it is binary (kBinary).
DocumentRead ReadDataFile(const std::string& name, const DocumentReading& how, int builds,
                  TextWords& words, std::ostream& messages);

// Runs program with path as its one argument and standard input from
// /dev/null, feeding its standard output to words (finished) and its
// standard error to messages. False, after a message naming the document,
// when it cannot be started or does not exit with status 0.
bool ReadThroughProgram(const std::string& program, const std::string& path, TextWords& words,
                        std::ostream& messages);
