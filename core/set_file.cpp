#include "core/set_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "core/file_io.h"
#include "core/messages.h"

namespace {

constexpr size_t kRecordsPerBlock = 4096;
constexpr size_t kBlockBytes = kRecordsPerBlock * kDigestSize;

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t DefaultFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// A symbolic link is followed, so that saving replaces the file it names and
// not the link itself.
std::string ResolveTarget(const std::string& path) {
  struct stat link_info;
  if (lstat(path.c_str(), &link_info) != 0 || !S_ISLNK(link_info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const CShingle& shingle) {
  return out.write(reinterpret_cast<const char*>(shingle.hash), kDigestSize);
}

std::istream& operator>>(std::istream& in, CShingle& shingle) {
  return in.read(reinterpret_cast<char*>(shingle.hash), kDigestSize);
}

void operator<<(std::ostream& out, CShingleSet& shingles) {
  SortByDigest(shingles.list);
  std::vector<char> block;
  block.reserve(kBlockBytes);
  for (const CShingle& shingle : shingles.list) {
    block.insert(block.end(), shingle.hash, shingle.hash + kDigestSize);
    if (block.size() >= kBlockBytes) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

void operator>>(std::istream& in, CShingleSet& shingles) {
  shingles.list.clear();
  DigestReader reader(in);
  CShingle record;
  while (const unsigned char* digest = reader.Next()) {
    std::memcpy(record.hash, digest, kDigestSize);
    shingles.list.push_back(record);
  }
}

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

SafeFileWriter::~SafeFileWriter() { Abandon(); }

bool SafeFileWriter::Open(const std::string& path) {
  target_ = ResolveTarget(path);
  struct stat info;
  bool exists = stat(target_.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) return false;
  if (exists && !S_ISREG(info.st_mode)) {
    // Devices and pipes cannot be replaced by a rename; write to them directly.
    fd_ = open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return fd_ >= 0;
  }
  temp_ = DirectoryOf(target_) + "/." + BaseOf(target_) + ".tmpXXXXXX";
  fd_ = mkostemp(temp_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    temp_.clear();
    return false;
  }
  fchmod(fd_, exists ? (info.st_mode & 07777) : DefaultFileMode());
  return true;
}

bool SafeFileWriter::Write(const void* data, size_t size) {
  if (fd_ < 0 || failed_) return false;
  const char* bytes = static_cast<const char*>(data);
  if (buffer_.empty() && size >= kBlockBytes) {  // whole blocks need no copy
    if (!WriteAll(fd_, bytes, size)) failed_ = true;
    return !failed_;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
  if (buffer_.size() >= kBlockBytes) return Flush();
  return true;
}

bool SafeFileWriter::Flush() {
  if (!failed_ && !WriteAll(fd_, buffer_.data(), buffer_.size())) failed_ = true;
  buffer_.clear();
  return !failed_;
}

bool SafeFileWriter::Commit() {
  if (fd_ < 0) return false;
  bool ok = Flush();
  if (ok && !temp_.empty() && fsync(fd_) != 0) ok = false;
  if (close(fd_) != 0) ok = false;
  fd_ = -1;
  if (ok && !temp_.empty() && rename(temp_.c_str(), target_.c_str()) != 0) ok = false;
  if (ok) temp_.clear();
  Abandon();
  return ok;
}

void SafeFileWriter::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

bool WriteSetFile(const std::string& file_name, const std::list<CShingle>& records) {
  SafeFileWriter writer;
  if (!writer.Open(file_name)) {
    std::cerr << messages::kErrorOpeningFile << file_name << "\n";
    return false;
  }
  std::vector<unsigned char> block;
  block.reserve(kBlockBytes);
  for (const CShingle& shingle : records) {
    block.insert(block.end(), shingle.hash, shingle.hash + kDigestSize);
    if (block.size() == kBlockBytes) {
      writer.Write(block.data(), block.size());
      block.clear();
    }
  }
  writer.Write(block.data(), block.size());
  if (!writer.Commit()) {
    std::cerr << messages::kErrorWritingFile << file_name << "\n";
    return false;
  }
  return true;
}

void saveShinglesToFile(std::string file_name, CShingleSet& shingles) {
  SortByDigest(shingles.list);
  WriteSetFile(file_name, shingles.list);
}

void loadShinglesFromFile(std::string file_name, CShingleSet& shingles) {
  struct stat info;
  bool is_directory = stat(file_name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  std::ifstream in;
  if (!is_directory) in.open(file_name, std::ios::binary);
  if (is_directory || !in) {
    std::cerr << messages::kErrorOpeningFile << file_name << "\n";
    return;
  }
  in >> shingles;
}

std::ostream& OutputShingle(std::ostream& out, const CShingle& shingle) {
  static const char kHexDigits[] = "0123456789abcdef";
  char digest[2 * kDigestSize];
  for (int i = 0; i < kDigestSize; ++i) {
    digest[2 * i] = kHexDigits[shingle.hash[i] >> 4];
    digest[2 * i + 1] = kHexDigits[shingle.hash[i] & 0x0f];
  }
  out << '[';
  out.write(digest, sizeof digest);
  out << "] \"" << shingle.text << "\" " << shingle.count << ' ' << shingle.doc_count;
  return out;
}

int ReadHex(std::istream& in) {
  auto digit = [](int c) { return (c >= '0' && c <= '9') ? c - 48 : c - 87; };
  int high = digit(in.get());
  int low = digit(in.get());
  return high * 16 + low;
}
