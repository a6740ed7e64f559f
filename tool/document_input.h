// How the tool reads a data file for judging: the file itself, or what a
// program (--pre) makes of it; a document that is not text, or that cannot
// be read, is reported by name and not judged.
#pragma once

#include <iosfwd>
#include <string>

#include "core/text_words.h"
#include "tool/options.h"

// How reading a data file ended.
enum class DocumentRead {
  kRead,    // its words are there to judge
  kBinary,  // refused as binary, by design: a notice, not an error
  kFailed,  // not judged because something went wrong
};

// Reads a data file into words for `builds` builds. Unless kRead, after
// messages naming it, it is not to be judged: the shift is unusable, the file
// cannot be read (the system's message as perror(name) writes it, once per
// build), the program fails (all kFailed), or it is binary (kBinary); the
// last line written is then the reason. Warnings of the program come first
// and alone are no failure.
DocumentRead ReadDataFile(const std::string& name, const DocumentReading& how, int builds,
                  TextWords& words, std::ostream& messages);

// ReadThroughProgram (core/program_input.h) naming the document by its path.
bool ReadThroughProgram(const std::string& program, const std::string& path, double timeout,
                        TextWords& words, std::ostream& messages);
