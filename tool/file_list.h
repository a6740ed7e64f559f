// File lists and path names.
#pragma once

#include <list>
#include <string>
#include <vector>

// Names matching one glob pattern, in directory order; empty on no match.
std::list<std::string> getFileList(std::string pattern);
// Appends the names a list file holds, in its order: one a line, or each
// ended by a NUL when null_separated (the last one may lack its end); empty
// names are skipped, and a line holding a NUL is refused with a message. "-"
// reads standard input. False, after "Error opening file: " and the list's
// name, when the list cannot be read. Both problems count as errors of the run.
bool ReadNameList(const std::string& list, bool null_separated, std::vector<std::string>& names);
// The files of one role: the pattern's matches, then the names listed. An
// empty pattern is expanded (and reported) only when no list was given.
std::vector<std::string> FilesOf(const std::string& pattern, const std::string& list,
                                 const std::vector<std::string>& listed);
// The name up to and including the last dot of its own name (after the last
// '/'), followed by ext; a name without such a dot gets "." and ext appended.
std::string ChangeFileExt(std::string name, std::string ext);
// The name as result lines print it: a name holding a TAB, a line feed or a
// carriage return would forge columns or lines, so in such a name these bytes
// and the backslash are written as C escapes (\t, \n, \r, \\). Every other
// name is returned as it is.
std::string PrintableName(const std::string& name);
