// Shingle sets read from and written to set files, and the one-line text
// dump of a shingle.
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "compat/shingle.h"

// The 16 digest bytes of one record, unformatted.
std::ostream& operator<<(std::ostream& out, const CShingle& shingle);
// Reads 16 bytes into hash only; the stream state tells whether all arrived.
std::istream& operator>>(std::istream& in, CShingle& shingle);
// Sorts the set's list by digest and writes every record.
void operator<<(std::ostream& out, CShingleSet& shingles);
// Replaces the set's list by the complete records of the stream.
void operator>>(std::istream& in, CShingleSet& shingles);

void saveShinglesToFile(std::string file_name, CShingleSet& shingles);
void loadShinglesFromFile(std::string file_name, CShingleSet& shingles);

// "[" 32 hex digits "] \"" text "\" " count " " doc_count, no line end.
std::ostream& OutputShingle(std::ostream& out, const CShingle& shingle);
// Two characters read as two hexadecimal digits (lower case).
int ReadHex(std::istream& in);
