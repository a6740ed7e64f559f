// Recording a verdict in a document's header file.
#pragma once

#include <iosfwd>
#include <string>

// Appends "QUIV_SHINGLES_VALUE    = " value once; warns when the key is there.
void UpdateHdrFile(std::string path, double value);
// UpdateHdrFile with the warning written to `warnings` instead of standard
// output.
void RecordHeaderVerdict(const std::string& path, double value, std::ostream& warnings);
