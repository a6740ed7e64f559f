// The fixed message texts that core prints or returns, each written out once,
// and the two that both the tool and the C interface print (neither may
// include the other's). The tool's texts are in tool/messages.h, the C
// interface's in embed/messages.h, the exported formulas' in compat/messages.h.
#pragma once

namespace messages {

inline constexpr char kErrorOpeningFile[] = "Error opening file: ";
inline constexpr char kErrorWritingFile[] = "Error writing file: ";
inline constexpr char kOutOfMemory[] = "Error: out of memory\n";
// Before a failure's message on standard error.
inline constexpr char kErrorPrefix[] = "Error: ";

// "Error: shingle shift must be at least 1, not N; no shingles built".
inline constexpr char kUnusableShift[] = "shingle shift must be at least 1, not ";
inline constexpr char kUnusableShiftEnd[] = "; no shingles built";

// A model whose description refuses it: "the model in DIR" and then why.
inline constexpr char kModelPrefix[] = "the model in ";
inline constexpr char kDamagedDescription[] = " has a damaged description (tessel.model): ";
inline constexpr char kMixedModel[] = " is damaged or mixed: ";
inline constexpr char kMixedModelEnd[] = " does not match its description";
inline constexpr char kOtherSettings[] = " was trained with other settings: ";
inline constexpr char kNotTrainedRobust[] =
    " was not trained with --robust; train it with --robust -v";
inline constexpr char kNotJudgedRobust[] = " cannot be judged with --robust: ";

// A model directory whose last save was cut off between its renames:
// "the model in DIR is incomplete: ...", after "Error: " on standard error.
inline constexpr char kUnfinishedSavePrefix[] = "the model in ";
inline constexpr char kUnfinishedSaveSuffix[] =
    " is incomplete: a save into it did not finish; save the model again";

// A model file that could not be loaded: pieces, with a name or a reason
// after each.
inline constexpr char kModelFile[] = "model file ";
inline constexpr char kCannotLoadModelFile[] = "cannot load model file ";
inline constexpr char kNotReadWhole[] =
    " could not be read whole: it kept changing, or reading it failed";

// A document that is not text, and a converter program (--pre, and the
// C interface's converters).
inline constexpr char kBinaryDocument[] =
    ": binary file (a NUL byte in its first 8 KiB), not judged; --binary judges it\n";
inline constexpr char kCannotRunProgram[] = ": not judged: cannot run ";
inline constexpr char kProgramFailed[] = ": not judged: ";
// A --pre program: a file it is not given, one it did not finish in time,
// what it wrote to standard error (each line after the document's name and
// kProgramWarning) and what was left of that, and a process it left behind.
inline constexpr char kNotGivenToProgram[] =
    ": not judged: a FIFO, socket or device is not given to ";
inline constexpr char kProgramUnread[] = ": not judged: cannot read the output of ";
inline constexpr char kProgramTimedOut[] = " was stopped: it ran longer than --pre-timeout=";
inline constexpr char kProgramWarning[] = ": warning: ";
inline constexpr char kProgramErrorsDropped[] = "the first ";
inline constexpr char kProgramErrorsDroppedMiddle[] = " bytes ";
inline constexpr char kProgramErrorsDroppedEnd[] = " wrote to standard error are left out\n";
inline constexpr char kProgramLeftProcess[] =
    " left a process holding its output; it was stopped\n";

// A model's sources file (tessel.sources) that does not match its model:
// "the model in DIR" and then why.
inline constexpr char kUnusableSources[] = " has a sources file that cannot be used: ";

}  // namespace messages
