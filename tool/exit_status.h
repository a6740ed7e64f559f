// What a run met, for --exit-status: 0 when no data file was judged
// protected, 1 when one was, 2 when an error was reported, 2 winning. The
// notes are atomic, so workers judging documents may note from any thread.
#pragma once

// Forgets the notes of an earlier run in the same process.
void ResetRunStatus();
// An error was reported (a model not loaded, an unreadable file, a refused
// option, a failed save or header update).
void NoteRunError();
// A data file was judged protected.
void NoteProtectedVerdict();
// 2 after an error, else 1 after a protected verdict, else 0.
int RunExitStatus();
