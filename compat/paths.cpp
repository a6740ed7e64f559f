#include "compat/paths.h"

std::string dirName(std::string path) {
  size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return std::string();
  path.resize(separator);
  return path + '\\';
}
