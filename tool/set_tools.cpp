#include "tool/set_tools.h"

#include <array>
#include <cstring>
#include <istream>
#include <memory>
#include <queue>
#include <set>

#include "compat/shingle_file.h"
#include "core/digest_reader.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/model_description.h"
#include "core/model_files.h"
#include "core/provenance.h"
#include "core/set_file.h"
#include "tool/messages.h"

namespace {

constexpr char kUsage[] =
    "usage: tessel-sets info FILE...\n"
    "       tessel-sets verify FILE...\n"
    "       tessel-sets dump FILE...\n"
    "       tessel-sets merge OUT IN...\n";

// A set file opened for reading, as a stream.
struct SetFileInput {
  explicit SetFileInput(int fd) : buffer(fd), in(&buffer) {}
  DescriptorInput buffer;
  std::istream in;
};

// Opens a set file as a model is loaded: a FIFO does not block the open, and
// a directory or a device counts as unreadable.
std::unique_ptr<SetFileInput> OpenSetFile(const std::string& path, std::ostream& err) {
  int fd = OpenInputFile(path, false);
  if (fd < 0) {
    err << messages::kErrorOpeningFile << path << "\n";
    return nullptr;
  }
  return std::make_unique<SetFileInput>(fd);
}

uint64_t CountDistinct(std::istream& in) {
  std::set<Digest> seen;
  DigestReader reader(in);
  while (const unsigned char* record = reader.Next()) {
    Digest digest;
    std::memcpy(digest.bytes, record, kDigestSize);
    seen.insert(digest);
  }
  return seen.size();
}

// Prints what is wrong with a file; true when nothing is.
bool ReportDamage(const std::string& path, const SetFileInfo& info, std::ostream& err) {
  bool sound = true;
  if (info.trailing_bytes != 0) {
    err << path << ": size " << info.records * kDigestSize + info.trailing_bytes
        << " is not a multiple of 16 (" << info.trailing_bytes << " trailing bytes)\n";
    sound = false;
  }
  if (!info.ascending) {
    err << path << ": records out of order (record " << info.first_unordered
        << " is below record " << info.first_unordered - 1 << ")\n";
    sound = false;
  }
  return sound;
}

// One input of a merge: its reader, its current record and the check that
// it is sorted.
struct MergeInput {
  std::string path;
  std::unique_ptr<SetFileInput> input;
  std::unique_ptr<DigestReader> reader;
  const unsigned char* current = nullptr;
  Digest previous{};
  uint64_t records = 0;
  bool out_of_order = false;

  bool Advance() {
    if (current != nullptr) std::memcpy(previous.bytes, current, kDigestSize);
    current = reader->Next();
    if (current == nullptr) return false;
    if (records > 0 && HashLess(current, previous.bytes)) out_of_order = true;
    ++records;
    return true;
  }
};

}  // namespace

bool InspectSetFile(const std::string& path, SetFileInfo& info, std::ostream& err) {
  info = SetFileInfo();
  std::unique_ptr<SetFileInput> input = OpenSetFile(path, err);
  if (input == nullptr) return false;
  DigestReader reader(input->in);
  Digest previous{};
  while (const unsigned char* record = reader.Next()) {
    if (info.records == 0 || !HashEqual(record, previous.bytes)) {
      if (info.records > 0 && HashLess(record, previous.bytes) && info.ascending) {
        info.ascending = false;
        info.first_unordered = info.records;
      }
      ++info.distinct;
    }
    std::memcpy(previous.bytes, record, kDigestSize);
    ++info.records;
  }
  info.trailing_bytes = reader.trailing_bytes();
  if (!info.ascending) {
    // Counting changes of value only works on a sorted file; count again.
    std::unique_ptr<SetFileInput> again = OpenSetFile(path, err);
    if (again == nullptr) return false;
    info.distinct = CountDistinct(again->in);
  }
  return true;
}

// Whether the sources file beside a model matches the size and checksum its
// description records (a later --sources run would refuse it otherwise), as
// for a set file: the empty string, or why not. A file that cannot be read is
// reported and does not match; a model saved without sources has none.
namespace {

std::string SourcesFileProblem(const std::string& directory, const ModelDescription& description,
                               std::ostream& err) {
  const std::string path = directory + "/" + kSourcesFile;
  std::string bytes;
  const Status status = ReadSourcesFile(path, bytes);
  const bool read = status.ok();
  if (status.code() == StatusCode::kNotFound && !description.has_sources) return "";
  if (!read) err << messages::kErrorOpeningFile << path << "\n";
  if (read && description.has_sources && description.sources_bytes == bytes.size() &&
      description.sources_checksum == FileChecksum(bytes))
    return "";
  return messages::kModelPrefix + directory + messages::kMixedModel + kSourcesFile +
         messages::kMixedModelEnd;
}

}  // namespace

// A model's description: its lines, and whether each set file beside it
// (and the sources file, when there is one) matches it.
int DescriptionInfo(const std::string& path, std::ostream& out, std::ostream& err) {
  const std::string directory = DirectoryOf(path);
  ModelDescription description;
  if (!ReadModelDescription(directory, description)) {
    err << path << ": not a readable model description\n";
    return 1;
  }
  out << "file: " << path << "\n" << FormatModelDescription(description);
  // A set file that cannot be read is reported, and checked as empty.
  CountIndex files[kModelSlots];
  const CountIndex* read[kModelSlots] = {};
  for (int slot = 0; slot < kModelSlots; ++slot) {
    const std::string file = ModelFilePath(directory, slot);
    if (!CountIndex::Load(file, files[slot], CountIndex::Pages::kOrdinary).ok())
      err << messages::kErrorOpeningFile << file << "\n";
    read[slot] = &files[slot];
  }
  std::string problem =
      CheckModelDescription(directory, read, description.language_model, nullptr).message();
  if (problem.empty()) problem = SourcesFileProblem(directory, description, err);
  out << "set files: " << (problem.empty() ? "match" : problem) << "\n";
  return problem.empty() ? 0 : 1;
}

int SetsInfo(const std::string& path, std::ostream& out, std::ostream& err) {
  if (BaseOf(path) == kModelDescriptionFile) return DescriptionInfo(path, out, err);
  SetFileInfo info;
  if (!InspectSetFile(path, info, err)) return 1;
  out << "file: " << path << "\n"
      << "records: " << info.records << "\n"
      << "distinct digests: " << info.distinct << "\n"
      << "ascending: " << (info.ascending ? "yes" : "no") << "\n"
      << "trailing partial record bytes: " << info.trailing_bytes << "\n";
  // The lines above show the damage; the status lets a script see it too.
  return info.ascending && info.trailing_bytes == 0 ? 0 : 1;
}

int SetsVerify(const std::string& path, std::ostream& out, std::ostream& err) {
  SetFileInfo info;
  if (!InspectSetFile(path, info, err)) return 1;
  if (!ReportDamage(path, info, err)) return 1;
  out << path << ": ok, " << info.records << " records\n";
  return 0;
}

int SetsDump(const std::string& path, std::ostream& out, std::ostream& err) {
  std::unique_ptr<SetFileInput> input = OpenSetFile(path, err);
  if (input == nullptr) return 1;
  DigestReader reader(input->in);
  CShingle shingle;
  const unsigned char* record;
  // Reading on once the output has failed would only waste the time.
  while (out && (record = reader.Next()) != nullptr) {
    std::memcpy(shingle.hash, record, kDigestSize);
    OutputShingle(out, shingle) << '\n';
  }
  if (reader.trailing_bytes() != 0)
    err << path << ": " << reader.trailing_bytes() << " trailing bytes ignored\n";
  return 0;
}

int SetsMerge(const std::string& out_path, const std::vector<std::string>& inputs,
              std::ostream& err) {
  std::vector<std::unique_ptr<MergeInput>> sources;
  for (const std::string& path : inputs) {
    auto source = std::make_unique<MergeInput>();
    source->path = path;
    source->input = OpenSetFile(path, err);
    if (source->input == nullptr) return 1;
    source->reader = std::make_unique<DigestReader>(source->input->in);
    sources.push_back(std::move(source));
  }

  // Inputs are opened before the output is created, so merging into one of
  // the inputs reads its old content and replaces it only at the end.
  SafeFileWriter writer;
  if (!writer.Open(out_path)) {
    err << messages::kErrorOpeningFile << out_path << "\n";
    return 1;
  }

  // Smallest current record first; equal digests are equal bytes, so their
  // order among the inputs does not matter.
  auto later = [](const MergeInput* a, const MergeInput* b) {
    return HashLess(b->current, a->current);
  };
  std::priority_queue<MergeInput*, std::vector<MergeInput*>, decltype(later)> heap(later);
  for (auto& source : sources)
    if (source->Advance()) heap.push(source.get());

  bool written = true;
  bool sound = true;
  while (!heap.empty() && sound) {
    MergeInput* source = heap.top();
    heap.pop();
    written = writer.Write(source->current, kDigestSize) && written;
    if (source->Advance()) heap.push(source);
    if (source->out_of_order) {
      err << source->path << ": records out of order (record " << source->records - 1
          << " is below record " << source->records - 2 << ")\n";
      sound = false;
    }
  }
  for (auto& source : sources) {
    size_t trailing = source->reader->trailing_bytes();
    if (!sound || trailing == 0) continue;
    err << source->path << ": size " << source->records * kDigestSize + trailing
        << " is not a multiple of 16 (" << trailing << " trailing bytes)\n";
    sound = false;
  }
  if (!sound) {
    err << "Not merged: " << out_path << " is unchanged\n";
    return 1;
  }
  if (!written || !writer.Commit()) {
    err << messages::kErrorWritingFile << out_path << "\n";
    return 1;
  }
  return 0;
}

namespace {

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
    out << kUsage;
    return 0;
  }
  if (args.size() < 2 || (args[0] == "merge" && args.size() < 3)) {
    err << kUsage;
    return 2;
  }
  const std::string command = args[0];
  if (command == "merge")
    return SetsMerge(args[1], std::vector<std::string>(args.begin() + 2, args.end()), err);

  int (*operation)(const std::string&, std::ostream&, std::ostream&) = nullptr;
  if (command == "info") operation = SetsInfo;
  if (command == "verify") operation = SetsVerify;
  if (command == "dump") operation = SetsDump;
  if (operation == nullptr) {
    err << "tessel-sets: unknown command: " << command << "\n" << kUsage;
    return 2;
  }
  int status = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    if (command == "info" && i > 1) out << "\n";
    if (operation(args[i], out, err) != 0) status = 1;
  }
  return status;
}

}  // namespace

int SetsMain(int argc, char** argv, std::ostream& out, std::ostream& err) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const int status = RunCommand(args, out, err);
  // What was printed counts only once it has been written out.
  if (out.flush()) return status;
  err << messages::kErrorWritingOutput;
  return 1;
}
