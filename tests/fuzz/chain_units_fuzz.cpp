// Reading a chains file (tessel.chains): any bytes are refused with a reason
// or read without reading past them, and what is read writes back to a file
// that reads the same.
#include <cstdlib>
#include <string>

#include "core/chain_units.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  FlatSet units, reread;
  int32_t words = 0, words_again = 0;
  std::string error;
  if (!ParseChainUnits(bytes, words, units, error)) {
    if (error.empty()) abort();
    return 0;
  }
  if (units.files.size() != units.ids.size()) abort();
  const std::string again = FormatChainUnits(words, units);
  if (!ParseChainUnits(again, words_again, reread, error) || words_again != words ||
      reread.ids != units.ids || reread.files != units.files)
    abort();
  return 0;
}
