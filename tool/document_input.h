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

// Runs program with path as its one argument and standard input from
// /dev/null, feeding its standard output to words (finished). What it wrote
// to standard error goes to messages as warnings naming the document (only
// its last few KiB). False, after a message naming the document as the last
// line, when the path is a FIFO, socket or device (the program is not run),
// or the program cannot be started, does not exit with status 0, or runs
// longer than timeout seconds (0: no limit; it and its process group are
// killed). Once it has exited, a process it left holding its output is
// waited for only while that output keeps coming, then killed.
bool ReadThroughProgram(const std::string& program, const std::string& path, double timeout,
                        TextWords& words, std::ostream& messages);
