// The count files of the sweeps are outside input: the streaming lookup, the
// table that answers every threshold from memory, and the rows read one by
// one with formatted extraction all give the same count.
#include <sstream>

#include "experiments/sweep.h"
#include "support/test_support.h"

namespace {

int Reference(const std::string& text, int threshold) {
  std::istringstream in(text);
  int count = 0, key, ignored, row_count;
  while (in >> key) {
    if (!(in >> ignored >> row_count) || key >= threshold) break;
    count = row_count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  const int threshold = input.Pick(0, 255) * 4 - 24;  // -24 to 996, negatives included
  const std::string text = input.Rest();
  std::istringstream table_input(text);
  CountTable table(table_input);
  for (int t : {threshold, 0, 999}) {
    std::istringstream in(text);
    const int expected = Reference(text, t);
    if (LookupCount(in, t) != expected || table.Lookup(t) != expected) abort();
  }
  return 0;
}
