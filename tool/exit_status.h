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
// What ended a run early (rethrown from any thread of it), as a Status: out
// of memory, naming what was being read where that is known, or an internal
// failure with the exception's text.
Status StatusOfFailure(std::exception_ptr failure);
