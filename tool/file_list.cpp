#include "tool/file_list.h"

// Placeholder until file lists land.
std::list<std::string> getFileList(std::string) { return {}; }
std::string ChangeFileExt(std::string, std::string ext) { return ext; }
std::string dirName(std::string) { return {}; }
