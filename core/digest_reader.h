// The record format of set files: 16-byte digests back to back, no header.
#pragma once

#include <cstddef>
#include <istream>
#include <memory>

#include "core/digest.h"

// Reads the complete 16-byte records of a stream in large blocks.
class DigestReader {
 public:
  explicit DigestReader(std::istream& in);
  // The next complete record, or nullptr at the end (a trailing partial
  // record is never returned).
  const unsigned char* Next();
  // Bytes of a trailing partial record seen at the end of the stream.
  size_t trailing_bytes() const { return trailing_; }

 private:
  bool Refill();

  std::istream& in_;
  std::unique_ptr<unsigned char[]> block_;  // left uninitialised: it is filled before use
  size_t filled_ = 0;
  size_t offset_ = 0;
  size_t trailing_ = 0;
  bool at_end_ = false;
};
