// Inspection and combination of shingle set files: the operations of the
// tessel-sets program. Set files carry no header, so these checks are the only
// way to tell a sound model file from a truncated or foreign one.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct SetFileInfo {
  uint64_t records = 0;         // complete 16-byte records
  uint64_t distinct = 0;        // distinct digests among them
  bool ascending = true;        // every record at or above its predecessor
  uint64_t first_unordered = 0; // index of the first record below its predecessor
  uint64_t trailing_bytes = 0;  // bytes of a trailing partial record
};

// Reads a set file once (twice when it is out of order, to count distinct
// digests). False, with "Error opening file: " on err, when it cannot be read.
bool InspectSetFile(const std::string& path, SetFileInfo& info, std::ostream& err);

// Each command writes its results to out and its complaints to err and
// returns the exit status of the program: 0 success, 1 failure.
int SetsInfo(const std::string& path, std::ostream& out, std::ostream& err);
int SetsVerify(const std::string& path, std::ostream& out, std::ostream& err);
int SetsDump(const std::string& path, std::ostream& out, std::ostream& err);
// Merges sorted set files into one sorted file, streaming, keeping every
// record (duplicates included), as saving the combined list would. The output
// is replaced only when every input was read completely and in order.
int SetsMerge(const std::string& out_path, const std::vector<std::string>& inputs,
              std::ostream& err);

// The whole program: "tessel-sets COMMAND ARGS"; status 2 for a usage error.
int SetsMain(int argc, char** argv, std::ostream& out, std::ostream& err);
