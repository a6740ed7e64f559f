// The -x report reader on fuzzed result lines: whatever the input, it prints
// well-formed rows (count, frequency, running sum) in ascending order of the
// count, with running sums that add up, and never more rows than lines.
#include <algorithm>

#include "experiments/protected_sum.h"
#include "support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  std::ostringstream out;
  CalculateProtectedSum(in, out);
  std::istringstream report(out.str());
  const long lines = std::count(text.begin(), text.end(), '\n') + 1;
  long rows = 0, sum = 0, count, frequency, running, previous = 0;
  char tab1 = 0, tab2 = 0;
  for (std::string line; std::getline(report, line); sum = running, previous = count, ++rows) {
    std::istringstream row(line);
    if (!(row >> count).get(tab1) || !(row >> frequency).get(tab2) || !(row >> running) ||
        tab1 != '\t' || tab2 != '\t' || frequency < 1 || running != sum + frequency ||
        (rows > 0 && count <= previous))
      abort();
  }
  if (rows > lines || sum > lines) abort();
  return 0;
}
