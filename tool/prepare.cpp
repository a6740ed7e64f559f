#include "tool/prepare.h"

#include <string>
#include <utility>
#include <vector>

#include "core/save_marker.h"
#include "core/settings.h"

namespace {

constexpr char kPairSuffix[] = ".2";

FlatSet DigestsOf(const CountIndex& index) {
  FlatSet flat;
  flat.digests.assign(index.begin(), index.end());
  return flat;
}

// lm_sub: the pairs both sides hold move to the common set.
void SubtractPairs(FlatSet& protected_pairs, FlatSet& unprotected_pairs, JudgingModel& model) {
  FlatSet common;
  Common(protected_pairs, unprotected_pairs, common);
  model.common_set = CountIndex::FromFlat(std::move(common));
}

void Release(FlatSet& set) { set = FlatSet(); }

}  // namespace

void PrepareTrained(TrainedSets& sets, bool language_model, JudgingModel& model) {
  model.sets = SidesIndex::Join(RecordsOf(sets.protected_set), RecordsOf(sets.unprotected_set));
  Release(sets.protected_set), Release(sets.unprotected_set);
  if (!language_model) return;
  if (lm_sub) SubtractPairs(sets.protected_pairs, sets.unprotected_pairs, model);
  model.pairs = SidesIndex::Join(RecordsOf(sets.protected_pairs), RecordsOf(sets.unprotected_pairs));
  Release(sets.protected_pairs), Release(sets.unprotected_pairs);
}

bool LoadJudgingModel(const RunSettings& settings, bool language_model, JudgingModel& model) {
  std::vector<std::pair<std::string, CountIndex*>> files = {
      {settings.ProtectedFiles, &model.protected_set}};
  if (language_model) files.push_back({settings.ProtectedFiles + kPairSuffix, &model.protected_pairs});
  if (!settings.UnprotectedFiles.empty()) {
    files.push_back({settings.UnprotectedFiles, &model.unprotected_set});
    if (language_model)
      files.push_back({settings.UnprotectedFiles + kPairSuffix, &model.unprotected_pairs});
  }
  std::vector<std::string> paths;
  for (const auto& file : files) paths.push_back(file.first);
  const ModelReadLock lock(paths);
  if (lock.Refused(nullptr)) return false;
  // Every file is tried, so that each one that fails is reported.
  bool loaded = true;
  for (const auto& [path, index] : files) loaded = CountIndex::Load(path, *index, nullptr) && loaded;
  return loaded;
}

void PrepareLoaded(bool language_model, JudgingModel& model) {
  model.sets = SidesIndex::Join(RecordsOf(model.protected_set), RecordsOf(model.unprotected_set));
  model.protected_set = CountIndex(), model.unprotected_set = CountIndex();
  if (!language_model) return;
  if (lm_sub) {
    FlatSet protected_pairs = DigestsOf(model.protected_pairs);
    FlatSet unprotected_pairs = DigestsOf(model.unprotected_pairs);
    model.protected_pairs = CountIndex(), model.unprotected_pairs = CountIndex();
    SubtractPairs(protected_pairs, unprotected_pairs, model);
    model.pairs = SidesIndex::Join(RecordsOf(protected_pairs), RecordsOf(unprotected_pairs));
    return;
  }
  // The pair files stay as read (shared with other processes where they are
  // immutable).
  model.pairs = SidesIndex::Share(std::move(model.protected_pairs),
                                  std::move(model.unprotected_pairs));
}
