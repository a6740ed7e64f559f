// Reading a set file: every complete record arrives, nothing more, and the
// inspection of tessel-sets agrees with the reader.
#include <cstring>

#include "compat/shingle_file.h"
#include "support/test_support.h"
#include "tool/set_tools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = std::string(FuzzWorkDir()) + "/set.bin";
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream in(bytes);
  CShingleSet set, loaded;
  in >> set;
  if (set.list.size() != size / 16) abort();
  auto shingle = set.list.begin();
  for (size_t at = 0; at + 16 <= size; at += 16, ++shingle)
    if (std::memcmp(shingle->hash, data + at, 16) != 0 || shingle->count != 1) abort();
  WriteFile(path, bytes);
  loadShinglesFromFile(path, loaded);
  std::ostringstream sink;
  SetFileInfo info;
  if (loaded.list.size() != set.list.size() || !InspectSetFile(path, info, sink)) abort();
  Unique(loaded);
  if (info.records != size / 16 || info.trailing_bytes != size % 16 ||
      info.distinct != loaded.list.size())
    abort();
  return 0;
}
