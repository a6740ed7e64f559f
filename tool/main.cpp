// The tool's entry point: it parses the options and hands the run to the
// driver.
#include <iostream>

#include "tool/driver.h"
#include "tool/options.h"

int main(int argc, char** argv) {
  RunSettings settings;
  if (ParseOptions(argc, argv, settings) == OptionOutcome::kRunDriver) RunDriver(settings);
  std::cout.flush();
  return 0;
}
