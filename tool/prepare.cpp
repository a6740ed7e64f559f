#include "tool/prepare.h"

#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "core/messages.h"
#include "core/ordered_run.h"
#include "core/out_of_memory.h"
#include "core/save_marker.h"
#include "tool/document_output.h"
#include "tool/exit_status.h"

std::vector<std::pair<std::string, int>> SetFilesOf(const FileSettings& settings,
                                                    bool language_model) {
  std::vector<std::pair<std::string, int>> wanted = {{settings.ProtectedFiles, kProtectedWords}};
  if (language_model) wanted.push_back({settings.ProtectedFiles + kPairSuffix, kProtectedPairs});
  if (!settings.UnprotectedFiles.empty()) {
    wanted.push_back({settings.UnprotectedFiles, kUnprotectedWords});
    if (language_model)
      wanted.push_back({settings.UnprotectedFiles + kPairSuffix, kUnprotectedPairs});
  }
  return wanted;
}

bool LoadSetFiles(const FileSettings& settings, bool language_model, size_t threads,
                  CountIndex (&files)[kModelSlots]) {
  const std::vector<std::pair<std::string, int>> wanted = SetFilesOf(settings, language_model);
  std::vector<std::string> paths;
  for (const auto& file : wanted) paths.push_back(file.first);
  const ModelReadLock lock(paths);
  const Status unfinished = lock.Check();
  if (!unfinished.ok()) {
    ReportError(unfinished, std::cerr);
    return false;
  }
  // Every file is tried, so that each one that fails is reported, in order;
  // the files are read side by side.
  struct Loaded {
    bool ok = false;
  };
  bool loaded = true;
  RunOrdered<Loaded>(
      wanted.size(), threads, wanted.size(),
      [&](size_t i, Loaded& file) {
        const int slot = wanted[i].second;
        file.ok = NamingOutOfMemory(wanted[i].first, [&] {
          return CountIndex::Load(wanted[i].first, files[slot], CountIndex::PagesOfSlot(slot)).ok();
        });
      },
      [&](size_t i, Loaded& file) {
        if (!file.ok) std::cerr << messages::kErrorOpeningFile << wanted[i].first << "\n";
        loaded = loaded && file.ok;
      });
  return loaded;
}
