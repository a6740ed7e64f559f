// Shingle building into lists, over the engine's TextWords, and the
// process-wide stop words.
#pragma once

#include <istream>
#include <set>
#include <string>

#include "compat/shingle.h"
#include "core/stop_words.h"
#include "core/text_options.h"

class TextWords;

// Words dropped by every build of the process-wide settings; filled by
// LoadStopwords before building starts.
extern StopWordSet Stopwords;

// Adds the white-space separated words of a file to Stopwords, byte for byte.
void LoadStopwords(std::string file_name);

// Appends every shingle of n words of the text, in text order, to target.list
// and counts each in target.total. Reads the stream to its end. These builds
// use the process-wide settings (shift and stop words).
void _BuildShingles(std::istream& in, CShingleSet& target, int n);
// The same for a file; a file that cannot be read is reported with perror.
void _BuildShingles(std::string file_name, CShingleSet& target, int n);
// Adds one learning file: its distinct shingles (counts per file, doc_count 1)
// are appended in digest order and the file's shingle count added to total.
void BuildShingles(std::string file_name, CShingleSet& target, int n);

// The same for a text already read; shingle texts are written as the text
// has them (in UTF-8 when it was read as UTF-8).
void AppendDistinctShingles(const TextWords& words, CShingleSet& target, int n);
