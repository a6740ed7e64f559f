#include "tool/header_file.h"

// Placeholder until the header update lands.
void UpdateHdrFile(std::string, double) {}
