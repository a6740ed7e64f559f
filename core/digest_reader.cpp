#include "core/digest_reader.h"

#include <cstring>

namespace {

constexpr size_t kBlockBytes = 4096 * kDigestSize;

}  // namespace

DigestReader::DigestReader(std::istream& in) : in_(in), block_(new unsigned char[kBlockBytes]) {}

bool DigestReader::Refill() {
  // Keep an incomplete record from the previous block in front.
  size_t kept = filled_ - offset_;
  std::memmove(block_.get(), block_.get() + offset_, kept);
  filled_ = kept;
  offset_ = 0;
  std::streambuf* source = in_.good() ? in_.rdbuf() : nullptr;
  while (source != nullptr && filled_ < kBlockBytes) {
    std::streamsize got = source->sgetn(reinterpret_cast<char*>(block_.get() + filled_),
                                        static_cast<std::streamsize>(kBlockBytes - filled_));
    if (got <= 0) {
      at_end_ = true;
      break;
    }
    filled_ += static_cast<size_t>(got);
  }
  if (source == nullptr) at_end_ = true;
  return filled_ >= static_cast<size_t>(kDigestSize);
}

const unsigned char* DigestReader::Next() {
  if (filled_ - offset_ < static_cast<size_t>(kDigestSize)) {
    if (at_end_ || !Refill()) {
      at_end_ = true;
      trailing_ = filled_ - offset_;
      in_.setstate(std::ios::eofbit | std::ios::failbit);
      return nullptr;
    }
  }
  const unsigned char* record = block_.get() + offset_;
  offset_ += kDigestSize;
  return record;
}
