// Recording a verdict in a document's header file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Appends "QUIV_SHINGLES_VALUE    = " value once; warns when the key is there.
void UpdateHdrFile(std::string path, double value);
// UpdateHdrFile of document's header `path`, with the warning written to
// `warnings` instead of standard output. A header that is the document itself
// (the same name, or the same file) is refused with an error and left alone.
void RecordHeaderVerdict(const std::string& document, const std::string& path, double value,
                         std::ostream& warnings);
// The same with the errors (a header that cannot be opened or written) written
// to `errors` instead of standard error.
void RecordHeaderVerdict(const std::string& document, const std::string& path, double value,
                         std::ostream& warnings, std::ostream& errors);
// The files a run's documents and their header files name, each resolved
// once: the directory resolved (links, "." and "..") and the file's own name.
struct HeaderKeys {
  std::vector<std::string> documents;
  std::vector<std::string> headers;  // of document i, its header file
};
HeaderKeys KeysOfHeaders(const std::vector<std::string>& documents);
// For each header: whether it is the only one of the run that names its file,
// and no document of the run is that file, so that it may be updated apart
// from the others and in any order. Others are updated in the run's order.
std::vector<bool> PrivateHeaders(const HeaderKeys& keys);
// For each document: how many of the run's first documents must have their
// headers updated before it is read, since the last of them has the
// document as its header (0 when none before it has); a run's output then
// is the same whatever the number of threads.
std::vector<size_t> ReadAfterHeaders(const HeaderKeys& keys);
