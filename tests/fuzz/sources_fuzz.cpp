// Reading a sources file (tessel.sources): any bytes are refused or read
// without reading past them, and what is read names only its own paths and
// writes back to a file that reads the same.
#include <cstdlib>
#include <string>
#include <vector>

#include "core/provenance.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  SourcesFile file;
  const Status parsed = ParseSources(bytes, file);
  if (!parsed.ok()) {
    if (parsed.message().empty()) abort();
    return 0;
  }
  std::vector<Digest> records(file.records);
  for (size_t k = 0; k < records.size(); ++k) records[k].bytes[0] = static_cast<unsigned char>(k);
  std::vector<uint32_t> files(file.records);
  for (size_t k = 0; k < files.size(); ++k) files[k] = file.FileOf(k);
  const SourceFinder finder(records.data(), file);
  for (const Source& source : finder.Find(records, {records.empty() ? Digest{} : records[0]}, 3))
    if (source.shared < 0 || source.path.size() > size) abort();
  // Indexes beyond the paths are kept as they are; a file with none reads back.
  for (uint32_t index : files)
    if (index >= file.paths.size()) return 0;
  const std::string again =
      FormatSources(file.slot, records.data(), records.size(), files.data(), file.paths);
  SourcesFile reread;
  if (!ParseSources(again, reread).ok() || reread.paths != file.paths ||
      reread.records != file.records)
    abort();
  return 0;
}
