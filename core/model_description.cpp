#include "core/model_description.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <unistd.h>

#include "core/chain_units.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/provenance.h"
#include "core/text_words.h"
#include "core/word_digests.h"

namespace {

const char* const kSlotKeys[kModelSlots] = {"p.bin", "p.bin.2", "u.bin", "u.bin.2"};

std::string Hex(const Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : digest.bytes) hex += kDigits[byte >> 4], hex += kDigits[byte & 15];
  return hex;
}

bool ParseUnsigned(const std::string& text, uint64_t& value, int base = 10) {
  if (text.empty() || text[0] == '-') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text.c_str(), &end, base);
  return errno == 0 && end != nullptr && *end == '\0';
}

// Sets one field from its key; false for a value that does not fit it.
bool SetField(const std::string& key, const std::string& value, ModelDescription& d) {
  uint64_t number = 0;
  if (key == "format") return ParseUnsigned(value, number) && (d.format = static_cast<int>(number), true);
  if (key == "mode") {
    d.language_model = value == "language-model";
    return value == "language-model" || value == "shingles";
  }
  if (key == "shingle-length" || key == "shingle-shift") {
    if (!ParseUnsigned(value, number) || number < 1 || number > INT32_MAX) return false;
    (key == "shingle-length" ? d.shingle_length : d.shingle_shift) = static_cast<int32_t>(number);
    return true;
  }
  if (key == "encoding") return d.encoding = value, !value.empty();
  if (key == "upper-case") {
    d.upper_case = value == "yes";
    return value == "yes" || value == "no";
  }
  if (key == "stop-words") return d.stop_words = value, !value.empty();
  if (key == std::string("bytes ") + kChainsFile) return ParseUnsigned(value, d.chains_bytes);
  if (key == std::string("checksum ") + kChainsFile) {
    d.has_chains = true;
    return ParseUnsigned(value, d.chains_checksum, 16);
  }
  if (key == "profile") return d.robust = value == "robust", true;  // later profiles: not robust
  if (key == std::string("bytes ") + kSourcesFile) return ParseUnsigned(value, d.sources_bytes);
  if (key == std::string("checksum ") + kSourcesFile) {
    d.has_sources = true;
    return ParseUnsigned(value, d.sources_checksum, 16);
  }
  for (int slot = 0; slot < kModelSlots; ++slot) {
    if (key == std::string("records ") + kSlotKeys[slot]) return ParseUnsigned(value, d.records[slot]);
    if (key == std::string("checksum ") + kSlotKeys[slot])
      return ParseUnsigned(value, d.checksums[slot], 16);
  }
  return true;  // a key of a later version
}

}  // namespace

uint64_t FileChecksum(const std::string& bytes) {
  return ChecksumOfRecords(reinterpret_cast<const Digest*>(bytes.data()),
                           bytes.size() / kDigestSize);
}

uint64_t FileChecksum(const std::vector<FilePiece>& pieces) {
  constexpr size_t kPiece = kDigestSize;
  size_t total = 0;
  for (const FilePiece& piece : pieces) total += piece.bytes;
  RecordsChecksum checksum(total / kPiece);
  // A 16-byte piece that straddles two pieces is gathered first.
  Digest carry;
  size_t carried = 0;
  for (const FilePiece& piece : pieces) {
    const auto* bytes = static_cast<const unsigned char*>(piece.data);
    size_t at = 0;
    if (carried > 0) {
      at = std::min(piece.bytes, kPiece - carried);
      std::memcpy(carry.bytes + carried, bytes, at);
      carried += at;
      if (carried < kPiece) continue;
      checksum.Add(&carry, 1);
    }
    const size_t whole = (piece.bytes - at) / kPiece;
    checksum.Add(reinterpret_cast<const Digest*>(bytes + at), whole);
    at += whole * kPiece;
    carried = piece.bytes - at;
    if (carried > 0) std::memcpy(carry.bytes, bytes + at, carried);
  }
  return checksum.value();
}

std::string StopWordsDigest(const StopWordSet* words) {
  if (words == nullptr || words->empty()) return "none";
  std::string joined;
  for (const std::string& word : *words) joined += word + '\n';
  return Hex(Md5Of(joined));
}

std::string FormatModelDescription(const ModelDescription& d) {
  std::ostringstream out;
  out << "format " << d.format << "\n"
      << "mode " << (d.language_model ? "language-model" : "shingles") << "\n"
      << "shingle-length " << d.shingle_length << "\n"
      << "shingle-shift " << d.shingle_shift << "\n"
      << "encoding " << d.encoding << "\n"
      << "upper-case " << (d.upper_case ? "yes" : "no") << "\n"
      << "stop-words " << d.stop_words << "\n";
  for (int slot = 0; slot < kModelSlots; ++slot)
    out << "records " << kSlotKeys[slot] << " " << d.records[slot] << "\n";
  for (int slot = 0; slot < kModelSlots; ++slot)
    out << "checksum " << kSlotKeys[slot] << " " << std::hex << d.checksums[slot] << std::dec << "\n";
  // Readers before the sources file ignore these keys.
  if (d.has_sources)
    out << "bytes " << kSourcesFile << " " << d.sources_bytes << "\n"
        << "checksum " << kSourcesFile << " " << std::hex << d.sources_checksum << std::dec << "\n";
  if (d.has_chains)
    out << "bytes " << kChainsFile << " " << d.chains_bytes << "\n"
        << "checksum " << kChainsFile << " " << std::hex << d.chains_checksum << std::dec << "\n";
  if (d.robust) out << "profile robust\n";
  return out.str();
}

bool ParseModelDescription(const std::string& text, ModelDescription& description,
                           std::string& error) {
  ModelDescription parsed;
  std::istringstream in(text);
  bool has_format = false;
  for (std::string line; std::getline(in, line);) {
    if (line.empty()) continue;
    // "records p.bin 12": the key is everything before the last space.
    const size_t space = line.rfind(' ');
    if (space == std::string::npos || space == 0) {
      error = "not a model description line: " + line.substr(0, 80);
      return false;
    }
    const std::string key = line.substr(0, space), value = line.substr(space + 1);
    if (!SetField(key, value, parsed)) {
      error = "a bad value in the model description: " + line.substr(0, 80);
      return false;
    }
    has_format = has_format || key == "format";
  }
  if (!has_format) {
    error = "the model description has no format line";
    return false;
  }
  if (parsed.format > kModelFormatVersion) {
    error = "the model description is of a later format, " + std::to_string(parsed.format);
    return false;
  }
  description = parsed;
  return true;
}

namespace {

std::string EncodingName(TextEncoding encoding) {
  return encoding == TextEncoding::kUtf8     ? "utf-8"
         : encoding == TextEncoding::kCp1251 ? "cp1251"
                                             : "auto";
}

// Whether texts read by the given rule lose the words a model trained by its
// recorded rule holds. "auto" reads a text as either rule would, so it suits
// every model; reading byte for byte ("cp1251", what the C interfaces always
// did) is how "auto" reads every text that is not UTF-8, so it suits an
// "auto" model; "utf-8" turns the bytes of a Windows-1251 text into
// separators, so it suits a "utf-8" model only.
bool EncodingsContradict(const std::string& recorded, const std::string& given) {
  if (given == recorded || given == "auto") return false;
  return !(given == "cp1251" && recorded == "auto");
}

}  // namespace

ModelDescription DescribeTraining(bool language_model, const TextOptions& text) {
  ModelDescription description;
  description.language_model = language_model;
  description.shingle_length = text.shingle_length;
  description.shingle_shift = text.shingle_shift;
  description.stop_words = StopWordsDigest(text.stop_words);
  description.encoding = EncodingName(text.encoding);
  description.upper_case = text.upper_case;
  return description;
}

namespace {

// The description file's text: false when there is none (the model path is
// missing, or is a file rather than a directory, so its set files are
// reported instead); a file that exists but cannot be read, or is larger
// than any description, is read as far as it goes and then fails to parse.
bool ReadDescription(const std::string& path, std::string& text) {
  constexpr size_t kMostBytes = 1 << 16;
  const int fd = OpenInputFile(path, false);
  if (fd < 0) return errno != ENOENT && errno != ENOTDIR;
  char buffer[4096];
  for (ssize_t got; text.size() <= kMostBytes && (got = read(fd, buffer, sizeof buffer)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

}  // namespace

bool ReadModelDescription(const std::string& directory, ModelDescription& description) {
  std::string content, reason;
  return ReadDescription(directory + "/" + kModelDescriptionFile, content) && !content.empty() &&
         ParseModelDescription(content, description, reason);
}

bool DescribedEncoding(const ModelDescription& description, TextEncoding& encoding) {
  const std::string& name = description.encoding;
  if (name != "auto" && name != "utf-8" && name != "cp1251") return false;
  encoding = name == "auto"    ? TextEncoding::kAuto
             : name == "utf-8" ? TextEncoding::kUtf8
                               : TextEncoding::kCp1251;
  return true;
}

TextEncoding ModelEncoding(const std::string& directory, TextEncoding fallback) {
  ModelDescription description;
  TextEncoding encoding = fallback;
  if (ReadModelDescription(directory, description)) DescribedEncoding(description, encoding);
  return encoding;
}

Status CheckModelDescription(const std::string& directory,
                             const CountIndex* const (&files)[kModelSlots], bool language_model,
                             const TextOptions* text, const std::string* names) {
  const std::string path = directory + "/" + kModelDescriptionFile;
  std::string content, reason;
  if (!ReadDescription(path, content)) return Status();
  ModelDescription model;
  const std::string prefix = messages::kModelPrefix + directory;
  if (!ParseModelDescription(content, model, reason))
    return Status(StatusCode::kDamaged, prefix + messages::kDamagedDescription + reason);
  if (text != nullptr) reason = ContradictedSetting(model, language_model, *text);
  if (!reason.empty())
    return Status(StatusCode::kInvalidArgument, prefix + messages::kOtherSettings + reason);
  for (int slot = 0; slot < kModelSlots; ++slot) {
    const CountIndex* file = files[slot];
    if (file == nullptr) continue;
    if (file->size() != model.records[slot] ||
        file->checksum() != model.checksums[slot])
      return Status(StatusCode::kMixed,
                    prefix + messages::kMixedModel +
                        (names != nullptr && !names[slot].empty() ? names[slot]
                                                                  : kModelFileNames[slot]) +
                        messages::kMixedModelEnd);
  }
  return Status();
}

std::string ContradictedSetting(const ModelDescription& model, bool language_model,
                                const TextOptions& text) {
  auto differs = [](const std::string& name, const std::string& saved, const std::string& given) {
    return saved == given ? std::string() : name + ": model " + saved + ", given " + given;
  };
  auto mode = [](bool lm) { return std::string(lm ? "language-model" : "shingles"); };
  std::string found = differs("mode", mode(model.language_model), mode(language_model));
  if (found.empty() && !language_model)
    found = differs("shingle-length", std::to_string(model.shingle_length),
                    std::to_string(text.shingle_length));
  if (found.empty())
    found = differs("shingle-shift", std::to_string(model.shingle_shift),
                    std::to_string(text.shingle_shift));
  if (found.empty())
    found = differs("upper-case", model.upper_case ? "yes" : "no", text.upper_case ? "yes" : "no");
  if (found.empty())
    found = differs("stop-words", model.stop_words, StopWordsDigest(text.stop_words));
  if (found.empty() && EncodingsContradict(model.encoding, EncodingName(text.encoding)))
    found = differs("encoding", model.encoding, EncodingName(text.encoding));
  return found;
}
