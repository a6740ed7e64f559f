#include "tool/prepare.h"

namespace {

// Maps one file, or reports why not; false when it cannot be loaded.
bool MapInto(const std::string& name, CountIndex& index) {
  return CountIndex::Map(name, index, nullptr);
}

}  // namespace

bool MapSetFiles(const RunSettings& settings, bool language_model,
                 CountIndex (&files)[kModelSlots]) {
  // Every file is tried, so that each one that fails is reported.
  bool loaded = MapInto(settings.ProtectedFiles, files[kProtectedWords]);
  if (language_model)
    loaded = MapInto(settings.ProtectedFiles + kPairSuffix, files[kProtectedPairs]) && loaded;
  if (!settings.UnprotectedFiles.empty()) {
    loaded = MapInto(settings.UnprotectedFiles, files[kUnprotectedWords]) && loaded;
    if (language_model)
      loaded =
          MapInto(settings.UnprotectedFiles + kPairSuffix, files[kUnprotectedPairs]) && loaded;
  }
  return loaded;
}
