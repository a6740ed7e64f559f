// Running a converter program on a document and reading its output as the
// document's text, for the tool's --pre and the converters of the C
// interface: its standard output becomes the words, its standard error
// warnings naming the document, and it is stopped (with every process it
// started) when it runs out of time.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "core/text_words.h"

// Runs program with path as its one argument and standard input from
// /dev/null, feeding its standard output to words (finished). What it wrote
// to standard error goes to messages as warnings naming the document by
// name (only its last few KiB). False, after a message naming the document
// as the last line, when the path is a FIFO, socket or device (the program
// is not run), or the program cannot be started, does not exit with status
// 0, or runs longer than timeout seconds (0: no limit; it and its process
// group are killed). Once it has exited, a process it left holding its
// output is waited for only while that output keeps coming, then killed.
bool ReadThroughProgram(const std::string& program, const std::string& path,
                        const std::string& name, double timeout, TextWords& words,
                        std::ostream& messages);

// The last line of what a reading wrote: the reason it failed, after any
// warnings of its program.
std::string_view LastLine(std::string_view messages);
