#include "tool/document_input.h"

#include <cstring>
#include <ostream>

#include "core/document.h"
#include "core/messages.h"
#include "core/program_input.h"
#include "core/shingle_shift.h"
#include "tool/file_list.h"
#include "tool/messages.h"

namespace {

std::string SystemMessage(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace

bool ReadThroughProgram(const std::string& program, const std::string& path, double timeout,
                        TextWords& words, std::ostream& messages) {
  return ReadThroughProgram(program, path, PrintableName(path), timeout, words, messages);
}

DocumentRead ReadDataFile(const std::string& name, const DocumentReading& how, int builds,
                          TextWords& words, std::ostream& messages) {
  if (!ShiftUsableFor(builds, words.shift(), messages)) return DocumentRead::kFailed;
  if (!how.judge_binary) words.StopIfBinary();
  if (!how.preprocessor.empty()) {
    if (!ReadThroughProgram(how.preprocessor, name, how.timeout, words, messages))
      return DocumentRead::kFailed;
  } else if (const int error = words.ReadFile(name, 0, messages); error != 0) {
    // What each build would have written, as perror(name) writes it.
    for (int i = 0; i < builds; ++i)
      messages << PrintableName(name) << ": " << SystemMessage(error) << "\n";
    return DocumentRead::kFailed;
  }
  if (words.binary() && !how.judge_binary) {
    messages << PrintableName(name) << messages::kBinaryDocument;
    return DocumentRead::kBinary;
  }
  return DocumentRead::kRead;
}
