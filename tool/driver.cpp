// The driver of one run of the tool: training or loading the trained sets,
// saving and preparing them, and the shingle-mode data loop. The language-model
// data loop lives in lm_run.cpp.
#include "tool/driver.h"

#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "core/builder.h"
#include "core/set_file.h"
#include "core/settings.h"
#include "core/shingle.h"
#include "scoring/compare.h"
#include "tool/file_list.h"
#include "tool/lm_run.h"
#include "tool/progress.h"
#include "tool/subtract.h"

namespace {

const char kPairSuffix[] = ".2";
const char kProtectedSetFile[] = "p.bin";
const char kProtectedPairFile[] = "p.bin.2";
const char kUnprotectedSetFile[] = "u.bin";
const char kUnprotectedPairFile[] = "u.bin.2";

bool LanguageModelMode(const RunSettings& settings) { return settings.LmFormula != 0; }

// Builds every learning file of a pattern into the trained set (and, for the
// language model, single words and word pairs).
void BuildTrainedSet(const std::string& pattern, bool language_model, CShingleSet& words,
                     CShingleSet& pairs) {
  if (pattern.empty()) return;
  const std::list<std::string> names = getFileList(pattern);
  TrainingProgress progress(names.size());
  for (const std::string& name : names) {
    if (language_model) {
      BuildShingles(name, words, 1);
      BuildShingles(name, pairs, 2);
    } else {
      BuildShingles(name, words, CShingle::shingle_length);
    }
    progress.FileDone(name);
  }
}

void ObtainTrainedSets(const RunSettings& settings, TrainedSets& sets) {
  const bool language_model = LanguageModelMode(settings);
  if (settings.FromFile) {
    loadShinglesFromFile(settings.ProtectedFiles, sets.protected_set);
    if (language_model)
      loadShinglesFromFile(settings.ProtectedFiles + kPairSuffix, sets.protected_pairs);
    if (!settings.UnprotectedFiles.empty()) {
      loadShinglesFromFile(settings.UnprotectedFiles, sets.unprotected_set);
      if (language_model)
        loadShinglesFromFile(settings.UnprotectedFiles + kPairSuffix, sets.unprotected_pairs);
    }
    return;
  }
  BuildTrainedSet(settings.ProtectedFiles, language_model, sets.protected_set,
                  sets.protected_pairs);
  BuildTrainedSet(settings.UnprotectedFiles, language_model, sets.unprotected_set,
                  sets.unprotected_pairs);
}

std::vector<Digest> SortedDigests(std::list<CShingle>& list) {
  SortByDigest(list);  // saving leaves the lists in digest order, as later steps expect
  std::vector<Digest> digests(list.size());
  size_t i = 0;
  for (const CShingle& shingle : list) std::memcpy(digests[i++].bytes, shingle.hash, kDigestSize);
  return digests;
}

void SaveTrainedSets(TrainedSets& sets) {
  const std::vector<Digest> files[] = {
      SortedDigests(sets.protected_set.list), SortedDigests(sets.protected_pairs.list),
      SortedDigests(sets.unprotected_set.list), SortedDigests(sets.unprotected_pairs.list)};
  SaveSetFilesTogether({{kProtectedSetFile, files[0].data(), files[0].size()},
                        {kProtectedPairFile, files[1].data(), files[1].size()},
                        {kUnprotectedSetFile, files[2].data(), files[2].size()},
                        {kUnprotectedPairFile, files[3].data(), files[3].size()}});
}

void PrepareTrainedSets(const RunSettings& settings, TrainedSets& sets) {
  if (!LanguageModelMode(settings)) {
    Unique(sets.protected_set);
    Unique(sets.unprotected_set);
    Common(sets.protected_set, sets.unprotected_set, sets.common_set);
    return;
  }
  if (lm_sub) {
    // Freshly built pair lists are only ordered file by file; the walk of
    // Common needs them in digest order, as saved or loaded lists already
    // are. The stable sort keeps the first record of each digest first, so
    // the indexed sets below come out the same either way.
    SortByDigest(sets.protected_pairs.list);
    SortByDigest(sets.unprotected_pairs.list);
    Common(sets.protected_pairs, sets.unprotected_pairs, sets.common_set);
  }
  sets.protected_set.ConvertToSet();
  sets.protected_pairs.ConvertToSet();
  sets.unprotected_set.ConvertToSet();
  sets.unprotected_pairs.ConvertToSet();
}

// The three trained sets of shingle mode, indexed once for the data loop.
struct ShingleIndexes {
  DigestIndex protected_set;
  DigestIndex unprotected_set;
  DigestIndex common_set;
};

template <typename Trained>
void WriteDetailed(CShingleSet& document, Trained& protected_set, Trained& unprotected_set,
                   Trained& common_set) {
  std::cout << "\n"
            << "\nProtected:\n";
  int protected_count = Intersection(document, protected_set);
  std::cout << "Total protected :" << protected_count << "\n";
  std::cout << "Unprotected:\n";
  int unprotected_count = Intersection(document, unprotected_set);
  std::cout << "Total unprotected:" << unprotected_count << "\n";
  std::cout << "Common:\n";
  int common_count = Intersection(document, common_set);
  std::cout << "Total common:" << common_count << "\n";
}

// "P>=M" or "P<M" for documents of at least SizeThreshold distinct shingles,
// otherwise the threshold scaled by n / SizeThreshold ("P>=M*R"). The scaled
// comparison is P * SizeThreshold >= n * MaxThreshold, in 64 bits so that
// large counts cannot overflow.
void WriteVerdict(int protected_count, int64_t distinct, const RunSettings& settings) {
  const int64_t max_threshold = settings.MaxThreshold;
  const int64_t size_threshold = settings.SizeThreshold;
  if (distinct >= size_threshold) {
    bool is_protected = protected_count >= max_threshold;
    std::cout << protected_count << (is_protected ? ">=" : "<") << settings.MaxThreshold << "\n";
    return;
  }
  bool is_protected = protected_count * size_threshold >= distinct * max_threshold;
  double ratio = static_cast<double>(distinct) / static_cast<double>(settings.SizeThreshold);
  std::cout << protected_count << (is_protected ? ">=" : "<") << settings.MaxThreshold << "*"
            << ratio << "\n";
}

void ScoreShingleFile(const std::string& name, ShingleIndexes& indexes,
                      const RunSettings& settings) {
  CShingleSet document;
  BuildShingles(name, document, CShingle::shingle_length);
  Unique(document);
  std::cout << name;
  if (Detailed) {
    WriteDetailed(document, indexes.protected_set, indexes.unprotected_set, indexes.common_set);
    return;
  }
  int common_count = Intersection(document, indexes.common_set);
  int unprotected_count = Intersection(document, indexes.unprotected_set);
  int protected_count = Intersection(document, indexes.protected_set);
  std::cout << "\t" << protected_count << "\t" << unprotected_count << "\t" << common_count
            << "\t";
  WriteVerdict(protected_count, static_cast<int64_t>(document.list.size()), settings);
}

void RunShingleMode(TrainedSets& sets, const RunSettings& settings) {
  ShingleIndexes indexes{IndexDigests(sets.protected_set), IndexDigests(sets.unprotected_set),
                         IndexDigests(sets.common_set)};
  for (const std::string& name : getFileList(settings.DataFiles))
    ScoreShingleFile(name, indexes, settings);
}

// The trained sets of the latest run. They are deliberately not released when
// main returns: the process ends right after, and handing millions of records
// back to the allocator one by one costs seconds on a large model. A further
// run in the same process releases the previous run's sets first.
TrainedSets* latest_run_sets = nullptr;

TrainedSets& FreshTrainedSets() {
  delete latest_run_sets;
  latest_run_sets = new TrainedSets;
  return *latest_run_sets;
}

}  // namespace

void RunDriver(const RunSettings& settings) {
  if (settings.Subtract) {
    ShingleSubtract(settings.ProtectedFiles, settings.UnprotectedFiles);
    return;
  }
  if (settings.LmFormula < 0) {
    std::cerr << "Error: lm-formula must not be negative: " << settings.LmFormula << "\n";
    return;
  }
  if (!settings.StopwordFile.empty()) LoadStopwords(settings.StopwordFile);
  TrainedSets& sets = FreshTrainedSets();
  ObtainTrainedSets(settings, sets);
  if (settings.SaveProtected) SaveTrainedSets(sets);
  PrepareTrainedSets(settings, sets);
  if (settings.DataFiles.empty()) return;
  if (LanguageModelMode(settings))
    RunLanguageModel(sets, settings);
  else
    RunShingleMode(sets, settings);
}

void WriteDetailedBlock(CShingleSet& document, TrainedSets& sets) {
  WriteDetailed(document, sets.protected_set, sets.unprotected_set, sets.common_set);
}
