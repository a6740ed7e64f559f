// The detailed block of -e: which of a document's shingles (or words) the
// protected side, the unprotected side and both hold, with their texts.
#pragma once

#include <iosfwd>

#include "compat/shingle.h"
#include "scoring/model.h"

// Shingle mode: "\n\nProtected:\n" and the shingles only the protected side
// holds, those only the unprotected side holds and those both hold, each
// list with its total.
void WriteShingleDetails(CShingleSet& document, const Model& model, std::ostream& out);
// Language-model mode: the same block for the document's words: those each
// side holds (whatever the other holds) and those in the common pairs.
void WriteWordDetails(CShingleSet& document, const Model& model, std::ostream& out);
