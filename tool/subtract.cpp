#include "tool/subtract.h"

// Placeholder until the subtraction lands.
void ShingleSubtract(std::string, std::string) {}
