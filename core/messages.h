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

}  // namespace messages
