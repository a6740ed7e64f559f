// Reading a set file: every complete record arrives, nothing more, and the
// inspection of tessel-sets agrees with the reader.
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/set_file.h"
#include "support/test_support.h"
#include "tool/set_tools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = std::string(FuzzWorkDir()) + "/set.bin";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream in(bytes);
  CShingleSet set;
  in >> set;
  if (set.list.size() != size / 16) abort();
  size_t offset = 0;
  for (const CShingle& record : set.list) {
    if (std::memcmp(record.hash, data + offset, 16) != 0 || record.count != 1) abort();
    offset += 16;
  }

  { std::ofstream(path, std::ios::binary) << bytes; }
  CShingleSet loaded;
  loadShinglesFromFile(path, loaded);
  if (loaded.list.size() != set.list.size()) abort();
  std::ostringstream sink;
  SetFileInfo info;
  if (!InspectSetFile(path, info, sink)) abort();
  Unique(loaded);
  if (info.records != size / 16 || info.trailing_bytes != size % 16 ||
      info.distinct != loaded.list.size())
    abort();
  return 0;
}
