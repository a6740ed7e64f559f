// The header-file update on a fuzzed existing header file: the file is left
// as it was when it holds the key marker anywhere, and otherwise gains exactly
// one key line, after a line feed when its last line had none.
#include "support/test_support.h"
#include "tool/header_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const double value = input.Pick(0, 3) / 3.0;  // 0, 1/3, 2/3, 1
  const std::string old_content = input.Rest(), path = std::string(FuzzWorkDir()) + "/doc.hdr";
  { std::ofstream(path, std::ios::binary | std::ios::trunc) << old_content; }
  UpdateHdrFile(path, value);
  std::ostringstream expected;
  expected << old_content;
  if (old_content.find("QUIV_SHINGLES_VALUE") == std::string::npos)
    expected << (old_content.empty() || old_content.back() == '\n' ? "" : "\n")
             << "QUIV_SHINGLES_VALUE    = " << value << "\n";
  if (ReadFile(path) != expected.str()) abort();
  return 0;
}
