// A document as judging reads it: its normalised words, from which the
// digests of its shingles are taken straight from the word buffer, without a
// text string per shingle. The reading repeats the messages of the builds it
// replaces, so that output stays the same as building a CShingleSet per
// word count.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/digest.h"
#include "core/text_words.h"

// Reads a data file as `builds` calls of the file form of _BuildShingles
// would, their messages written to messages; false when shingles must not be
// built (the shift is unusable).
bool ReadDocument(const std::string& name, int builds, TextWords& words, std::ostream& messages);
// The same for a caller's buffer of `size` bytes, as the stream form reads it.
bool ReadDocument(const char* text, size_t size, int builds, TextWords& words,
                  std::ostream& messages);

// The digests of the shingles of n words, each once, in the order in which
// they first occur.
std::vector<Digest> DistinctShingles(const TextWords& words, int n);
