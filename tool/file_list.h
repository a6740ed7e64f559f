// File lists and path names.
#pragma once

#include <list>
#include <string>

// Names matching one glob pattern, in directory order; empty on no match.
std::list<std::string> getFileList(std::string pattern);
// The name up to and including its last dot, followed by ext.
std::string ChangeFileExt(std::string name, std::string ext);
// The directory part of a path, ending in a backslash; empty when there is none.
std::string dirName(std::string path);
