#include "tool/subtract.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <vector>

#include "core/digest_index.h"
#include "core/digest_reader.h"
#include "core/file_io.h"
#include "tool/exit_status.h"
#include "tool/messages.h"

namespace {

// Records of the first file looked up together: the index starts the memory
// reads of a batch at once, and the output is written in large pieces.
constexpr size_t kLookupBlock = 1 << 20;

// The distinct digests of the second file as a flat index: 16 bytes a digest
// and about three more for its directory and filter, where a tree of records
// took about a hundred. Set files saved by the tool are in order already;
// others are sorted in place, so the sort needs no memory of its own.
CountIndex ReadSubtrahend(int fd, std::istream& in) {
  std::vector<Digest> digests;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
    digests.reserve(static_cast<size_t>(info.st_size) / kDigestSize);
  DigestReader reader(in);
  while (const unsigned char* digest = reader.Next())
    std::memcpy(digests.emplace_back().bytes, digest, kDigestSize);
  if (!std::is_sorted(digests.begin(), digests.end())) std::sort(digests.begin(), digests.end());
  digests.erase(std::unique(digests.begin(), digests.end()), digests.end());
  return CountIndex::FromDistinct(std::move(digests));
}

// Streams the first file in blocks, writing in file order each record the
// subtrahend lacks.
class Subtraction {
 public:
  explicit Subtraction(const CountIndex& subtrahend) : subtrahend_(subtrahend) {
    block_.reserve(kLookupBlock);
    out_.reserve(kLookupBlock * (kDigestSize + 1));
  }

  void Run(std::istream& first) {
    DigestReader reader(first);
    while (const unsigned char* digest = reader.Next()) {
      std::memcpy(block_.emplace_back().bytes, digest, kDigestSize);
      if (block_.size() == kLookupBlock) Flush();
    }
    Flush();
    std::cout.flush();
  }

 private:
  void Flush() {
    counts_.resize(block_.size());
    subtrahend_.CountMany(block_.data(), block_.size(), counts_.data());
    for (size_t i = 0; i < block_.size(); ++i) {
      if (counts_[i] != 0) continue;
      out_.insert(out_.end(), block_[i].bytes, block_[i].bytes + kDigestSize);
      out_.push_back('\n');
    }
    std::cout.write(out_.data(), static_cast<std::streamsize>(out_.size()));
    out_.clear();
    block_.clear();
  }

  const CountIndex& subtrahend_;
  std::vector<Digest> block_;
  std::vector<int32_t> counts_;
  std::vector<char> out_;
};

}  // namespace

void ShingleSubtract(std::string first_file, std::string second_file) {
  // Opened like every input: a directory or a device is refused (a directory
  // would read as an empty subtrahend), and a FIFO never blocks the open.
  const int first_fd = OpenInputFile(first_file, false);
  const int second_fd = OpenInputFile(second_file, false);
  if (first_fd < 0 || second_fd < 0) {
    if (first_fd >= 0) close(first_fd);
    if (second_fd >= 0) close(second_fd);
    std::cerr << messages::kErrorOpeningFiles;
    NoteRunError();
    return;
  }
  DescriptorInput first_input(first_fd), second_input(second_fd);
  std::istream first(&first_input), second(&second_input);
  const CountIndex subtrahend = ReadSubtrahend(second_fd, second);
  Subtraction(subtrahend).Run(first);
}
