// The tool's entry point: it parses the options and hands the run to the
// driver.
#include <cstdio>
#include <iostream>

#include "core/messages.h"
#include "tool/options.h"

int main(int argc, char** argv) {
  RunSettings settings;
  const int status = RunCommand(ParseOptions(argc, argv, settings), settings);
  // Results lost to a full disk or a closed pipe must not pass unnoticed;
  // the exit status stays 0 as on every other failure.
  std::cout.flush();
  if (!std::cout || std::ferror(stdout)) std::cerr << messages::kErrorWritingOutput;
  return status;
}
