#include "tool/document_output.h"

#include <iostream>
#include <string>

#include "core/thread_start.h"
#include "tool/exit_status.h"

void Emit(const std::ostringstream& buffer, std::ostream& to) {
  const std::string text = buffer.str();
  if (!text.empty()) to.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void EmitToStandardStreams(const DocumentOutput& output) {
  Emit(output.out, std::cout);
  Emit(output.err, std::cerr);
  if (output.failed) NoteRunError();
}

size_t JobsOf(int32_t jobs) {
  return jobs > 0 ? static_cast<size_t>(jobs) : UsableProcessors();
}
