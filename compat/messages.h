// The message texts the exported formulas print, each written out once.
#pragma once

namespace messages {

inline constexpr char kEmptyDocMessage[] = "Error: empty doc shingles\n";
// "Algorithm error; size1=N size2=M", or the short form.
inline constexpr char kSizeErrorPrefix[] = "Algorithm error; size1=";
inline constexpr char kSizeErrorMiddle[] = " size2=";
inline constexpr char kShortSizeError[] = "Algorithm error\n";

}  // namespace messages
