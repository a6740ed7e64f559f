// One document's output while it is judged apart from the others, and how
// many documents are judged at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sstream>

#include "tool/options.h"

struct DocumentOutput {
  std::ostringstream out;  // what goes to standard output
  std::ostringstream err;  // what goes to standard error
  bool failed = false;     // the document could not be read, or not as a text
};

// Appends a buffer's text to a stream (nothing for an empty buffer).
void Emit(const std::ostringstream& buffer, std::ostream& to);
// Writes the document's output to the standard streams and notes a failed
// document for the exit status.
void EmitToStandardStreams(const DocumentOutput& output);

// The threads that judge documents: -j, or one per processor the run may use.
size_t JobsOf(int32_t jobs);
// Documents judged ahead of the next one to write, per thread: enough to
// keep every thread busy behind a long document, few enough to bound memory.
inline constexpr size_t kDocumentsAheadPerThread = 16;
