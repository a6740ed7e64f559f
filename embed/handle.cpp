#include "embed/handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/file_io.h"
#include "core/messages.h"
#include "core/model_description.h"
#include "core/save_marker.h"
#include "embed/messages.h"
#include "embed/tessel.h"

namespace {

thread_local int last_error_code = TESSEL_OK;

// A host compares the codes with these names.
static_assert(static_cast<int>(StatusCode::kNotFound) == TESSEL_ERROR_NOT_FOUND &&
              static_cast<int>(StatusCode::kNotDirectory) == TESSEL_ERROR_NOT_DIRECTORY &&
              static_cast<int>(StatusCode::kDamaged) == TESSEL_ERROR_DAMAGED &&
              static_cast<int>(StatusCode::kMixed) == TESSEL_ERROR_MIXED &&
              static_cast<int>(StatusCode::kIncompleteSave) == TESSEL_ERROR_INCOMPLETE_SAVE &&
              static_cast<int>(StatusCode::kOutOfMemory) == TESSEL_ERROR_OUT_OF_MEMORY &&
              static_cast<int>(StatusCode::kIoError) == TESSEL_ERROR_IO &&
              static_cast<int>(StatusCode::kInvalidArgument) == TESSEL_ERROR_INVALID_ARGUMENT &&
              static_cast<int>(StatusCode::kPreprocessorFailed) == TESSEL_ERROR_PREPROCESSOR &&
              static_cast<int>(StatusCode::kInternal) == TESSEL_ERROR_INTERNAL);

Status ModelFileProblem(const std::string& path) {
  int fd;
  struct stat info;
  switch (OpenRegularFile(path, O_RDONLY, fd, info)) {
    case FileCheck::kUnopened: return SystemError(messages::kCannotOpenModelFile, path, errno);
    case FileCheck::kUnexamined: return SystemError(messages::kCannotReadModelFile, path, errno);
    case FileCheck::kNotRegular:
      return Status(StatusCode::kDamaged, messages::kModelFile + path + messages::kNotRegularFile);
    case FileCheck::kRegular: break;
  }
  close(fd);
  if (info.st_size % kDigestSize == 0) return Status();
  return Status(StatusCode::kDamaged, messages::kModelFile + path + messages::kDamagedSize +
                                          std::to_string(info.st_size) + messages::kDamagedSizeEnd);
}

}  // namespace

void SetError(char** errptr, StatusCode code, const char* message) noexcept {
  last_error_code = static_cast<int>(code);
  if (errptr == nullptr) return;
  std::free(*errptr);
  *errptr = strdup(message);
}

void SetError(char** errptr, const Status& status) noexcept {
  SetError(errptr, status.code(), status.message().c_str());
}

Status SystemError(const std::string& what, const std::string& path, int error) {
  char buffer[256];
  return Status::FromErrno(error, what + path + ": " + strerror_r(error, buffer, sizeof buffer));
}

void RestoreLastErrorCode(int code) noexcept { last_error_code = code; }

extern "C" int tessel_last_error_code(void) { return last_error_code; }

Status LoadModelFiles(const std::string& directory, bool language_model, const TextOptions& text,
                      CountIndex (&files)[kModelSlots], TextEncoding* encoding) {
  std::vector<std::string> paths;
  for (int slot = 0; slot < kModelSlots; ++slot)
    if (language_model || !IsPairSlot(slot)) paths.push_back(ModelFilePath(directory, slot));
  const ModelReadLock lock(paths);
  Status problem = lock.Check();
  if (!problem.ok()) return problem;
  for (int slot = 0; slot < kModelSlots; ++slot) {
    if (IsPairSlot(slot) && !language_model) continue;
    const std::string path = ModelFilePath(directory, slot);
    problem = ModelFileProblem(path);
    if (!problem.ok()) return problem;
    problem = CountIndex::Load(path, files[slot], CountIndex::PagesOfSlot(slot));
    if (!problem.ok()) return problem;
  }
  const CountIndex* read[kModelSlots] = {};
  for (int slot = 0; slot < kModelSlots; ++slot)
    if (language_model || !IsPairSlot(slot)) read[slot] = &files[slot];
  if (encoding != nullptr) *encoding = ModelEncoding(directory, *encoding);
  return CheckModelDescription(directory, read, language_model, &text);
}
