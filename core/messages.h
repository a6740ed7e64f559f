// The fixed message texts of the system, each written out once.
#pragma once

namespace messages {

inline constexpr char kErrorOpeningFile[] = "Error opening file: ";
inline constexpr char kErrorWritingFile[] = "Error writing file: ";
inline constexpr char kErrorOpeningFiles[] = "Error opening file(s)\n";
inline constexpr char kOutOfMemory[] = "Error: out of memory\n";

}  // namespace messages
