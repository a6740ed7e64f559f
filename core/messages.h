// The fixed message texts of the system, each written out once.
#pragma once

namespace messages {

inline constexpr char kErrorOpeningFile[] = "Error opening file: ";
inline constexpr char kErrorWritingFile[] = "Error writing file: ";
inline constexpr char kErrorOpeningFiles[] = "Error opening file(s)\n";
inline constexpr char kOutOfMemory[] = "Error: out of memory\n";
inline constexpr char kEmptyDocMessage[] = "Error: empty doc shingles\n";
inline constexpr char kSizeErrorPrefix[] = "Algorithm error; size1=";
inline constexpr char kSizeErrorMiddle[] = " size2=";
inline constexpr char kShortSizeError[] = "Algorithm error\n";
// A model directory whose last save was cut off between its renames:
// "the model in DIR is incomplete: ...", after "Error: " on standard error.
inline constexpr char kUnfinishedSavePrefix[] = "the model in ";
inline constexpr char kUnfinishedSaveSuffix[] =
    " is incomplete: a save into it did not finish; save the model again";

}  // namespace messages
