// The tool's entry point: it parses the options and hands the run to the
// driver.
#include <cstdio>
#include <iostream>

#include "core/messages.h"
#include "tool/exit_status.h"
#include "tool/options.h"

int main(int argc, char** argv) {
  ResetRunStatus();
  RunSettings settings;
  const int status = RunCommand(ParseOptions(argc, argv, settings), settings);
  // Results lost to a full disk or a closed pipe must not pass unnoticed.
  std::cout.flush();
  if (!std::cout || std::ferror(stdout)) {
    std::cerr << messages::kErrorWritingOutput;
    NoteRunError();
  }
  // Without --exit-status the status stays 0 whatever happened.
  return settings.ExitStatus ? RunExitStatus() : status;
}
