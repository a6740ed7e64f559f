// Recording a verdict in a document's header file.
#pragma once

#include <string>

// Appends "QUIV_SHINGLES_VALUE    = " value once; warns when the key is there.
void UpdateHdrFile(std::string path, double value);
