// What a run met, for --exit-status: 0 when no data file was judged
// protected, 1 when one was, 2 when an error was reported, 2 winning. The
// notes are atomic, so workers judging documents may note from any thread.
// The failures the library returns (a Status) are reported here, in one
// place.
#pragma once

#include <exception>
#include <iosfwd>

#include "core/status.h"

// Forgets the notes of an earlier run in the same process.
void ResetRunStatus();
// An error was reported (a model not loaded, an unreadable file, a refused
// option, a failed save or header update).
void NoteRunError();
// A data file was judged protected.
void NoteProtectedVerdict();
// 2 after an error, else 1 after a protected verdict, else 0.
int RunExitStatus();

// Writes a failure as "Error: " and its message (a kind's own text when it
// has none) and notes the error. Every kind gives exit status 2.
void ReportError(const Status& status, std::ostream& err);
// Writes what reading a document met, once for each of the `builds` that
// reading stands for, as they wrote it: a refused shift as an error line, a
// failed read as the system's reason alone. Neither changes the exit status.
// Whether the document is judged: not when its shingles must not be built; a
// failed read is judged on what was read.
bool ReportDocumentReading(const Status& status, int builds, std::ostream& err);
// What ended a run early (rethrown from any thread of it), as a Status: out
// of memory, naming what was being read where that is known, or an internal
// failure with the exception's text.
Status StatusOfFailure(std::exception_ptr failure);
