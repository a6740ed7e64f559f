// Path helpers of the exported interface that the tool itself does not use.
#pragma once

#include <string>

// The directory part of a path, ending in a backslash; empty when there is none.
std::string dirName(std::string path);
