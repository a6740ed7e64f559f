// The outcome of an operation that can fail: ok, or a kind and a message.
// Operations return it instead of printing; the caller decides what to
// report and with which exit status (the tool in tool/exit_status, the C
// interface as a code beside its message). An ok Status holds no message
// and allocates nothing.
#pragma once

#include <string>
#include <utility>

// The kinds of failure. The C interface passes them on as numbers
// (TESSEL_ERROR_*), so a value once given never changes.
enum class StatusCode : int {
  kOk = 0,
  kNotFound = 1,            // a file or directory that does not exist
  kNotDirectory = 2,        // a path that should be a directory is not one
  kDamaged = 3,             // a file that is not what it should be
  kMixed = 4,               // a model's files that do not belong together
  kIncompleteSave = 5,      // a save that did not finish
  kOutOfMemory = 6,
  kIoError = 7,             // any other failure of the system
  kInvalidArgument = 8,     // a value a caller gave that cannot be used
  kPreprocessorFailed = 9,  // a command that should turn a file into text failed
  kInternal = 10,           // a failure the code did not foresee
  kBinary = 11,             // a document that is not text, skipped by design
};

class Status {
 public:
  Status() = default;
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}

  static Status Ok() { return Status(); }
  // The kind a system error number stands for: ENOENT is not found, ENOTDIR
  // not a directory, ENOMEM out of memory, anything else an I/O error.
  static Status FromErrno(int error, std::string message);

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  StatusCode code_ = StatusCode::kOk;
  std::string message_;
};
