#include "core/status.h"

#include <cerrno>

Status Status::FromErrno(int error, std::string message) {
  StatusCode code = StatusCode::kIoError;
  if (error == ENOENT) code = StatusCode::kNotFound;
  else if (error == ENOTDIR) code = StatusCode::kNotDirectory;
  else if (error == ENOMEM) code = StatusCode::kOutOfMemory;
  return Status(code, std::move(message));
}
