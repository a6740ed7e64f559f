#include "compat/shingle_file.h"

#include <cstring>
#include <iostream>
#include <vector>

#include "core/digest_reader.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/set_file.h"

namespace {

constexpr size_t kBlockBytes = 4096 * kDigestSize;

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
void saveShinglesToFile(std::string file_name, CShingleSet& shingles) {
  SortByDigest(shingles.list);
  std::vector<Digest> digests(shingles.list.size());
  size_t i = 0;
  for (const CShingle& shingle : shingles.list)
    std::memcpy(digests[i++].bytes, shingle.hash, kDigestSize);
  SaveSetFilesTogether({{file_name, digests.data(), digests.size() * sizeof(Digest)}}, std::cerr);
}

void loadShinglesFromFile(std::string file_name, CShingleSet& shingles) {
  int fd = OpenInputFile(file_name, false);
  if (fd < 0) {
    std::cerr << messages::kErrorOpeningFile << file_name << "\n";
    return;
  }
  DescriptorInput buffer(fd);
  std::istream in(&buffer);
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
