// The fixed message texts of the system, each written out once.
#pragma once

namespace messages {

inline constexpr char kErrorOpeningFile[] = "Error opening file: ";
inline constexpr char kErrorWritingFile[] = "Error writing file: ";
inline constexpr char kErrorOpeningFiles[] = "Error opening file(s)\n";
inline constexpr char kErrorWritingOutput[] = "Error writing standard output\n";
inline constexpr char kOutOfMemory[] = "Error: out of memory\n";
inline constexpr char kEmptyDocMessage[] = "Error: empty doc shingles\n";
inline constexpr char kSizeErrorPrefix[] = "Algorithm error; size1=";
inline constexpr char kSizeErrorMiddle[] = " size2=";
inline constexpr char kShortSizeError[] = "Algorithm error\n";
// After a document's name.
inline constexpr char kBinaryDocument[] =
    ": binary file (a NUL byte in its first 8 KiB), not judged; --binary judges it\n";
inline constexpr char kCannotRunProgram[] = ": not judged: cannot run ";
inline constexpr char kProgramFailed[] = ": not judged: ";

}  // namespace messages
