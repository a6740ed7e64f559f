// The driver of one run of the tool: training or loading the trained sets,
// saving and preparing them, and the shingle-mode data loop. The language-model
// data loop lives in lm_run.cpp.
#include "tool/driver.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "core/builder.h"
#include "core/set_file.h"
#include "core/settings.h"
#include "core/shingle.h"
#include "core/trainer.h"
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
const char kNothingSaved[] = "Error: no readable learning file for \"";

bool LanguageModelMode(const RunSettings& settings) { return settings.LmFormula != 0; }

// Builds every learning file of a pattern into the trained set (and, for the
// language model, single words and word pairs). Returns the number of files
// that could be read.
size_t BuildTrainedSet(const std::string& pattern, bool language_model, FlatSet& words,
                       FlatSet& pairs) {
  const std::list<std::string> names = getFileList(pattern);
  TrainingProgress progress(names.size());
  Trainer trainer(language_model ? std::vector<int>{1, 2}
                                 : std::vector<int>{CShingle::shingle_length},
                  language_model);
  size_t read = 0;
  for (const std::string& name : names) {
    if (trainer.AddFile(name)) ++read;
    progress.FileDone(name);
  }
  std::vector<FlatSet> sets = trainer.Finish();
  words = std::move(sets[0]);
  if (language_model) pairs = std::move(sets[1]);
  return read;
}

// Until loading reads flat sets: a set file through the shingle list.
void LoadFlatSet(const std::string& file_name, FlatSet& set) {
  CShingleSet loaded;
  loadShinglesFromFile(file_name, loaded);
  set.digests.reserve(loaded.list.size());
  for (const CShingle& shingle : loaded.list) {
    Digest digest;
    std::memcpy(digest.bytes, shingle.hash, kDigestSize);
    set.digests.push_back(digest);
  }
}

// Fills the trained sets. Returns the first training pattern that yielded no
// readable learning file, or an empty string.
std::string ObtainTrainedSets(const RunSettings& settings, TrainedSets& sets) {
  const bool language_model = LanguageModelMode(settings);
  if (settings.FromFile) {
    LoadFlatSet(settings.ProtectedFiles, sets.protected_set);
    if (language_model) LoadFlatSet(settings.ProtectedFiles + kPairSuffix, sets.protected_pairs);
    if (!settings.UnprotectedFiles.empty()) {
      LoadFlatSet(settings.UnprotectedFiles, sets.unprotected_set);
      if (language_model)
        LoadFlatSet(settings.UnprotectedFiles + kPairSuffix, sets.unprotected_pairs);
    }
    return std::string();
  }
  std::string unread;
  for (const std::string* pattern : {&settings.ProtectedFiles, &settings.UnprotectedFiles}) {
    if (pattern->empty()) continue;
    const bool is_protected = pattern == &settings.ProtectedFiles;
    size_t read = BuildTrainedSet(*pattern, language_model,
                                  is_protected ? sets.protected_set : sets.unprotected_set,
                                  is_protected ? sets.protected_pairs : sets.unprotected_pairs);
    if (read == 0 && unread.empty()) unread = *pattern;
  }
  return unread;
}

// The four model files, all or none. Loaded sets may come in any order;
// trained ones already are in digest order.
void SaveTrainedSets(TrainedSets& sets) {
  FlatSet* saved[] = {&sets.protected_set, &sets.protected_pairs, &sets.unprotected_set,
                      &sets.unprotected_pairs};
  const char* names[] = {kProtectedSetFile, kProtectedPairFile, kUnprotectedSetFile,
                         kUnprotectedPairFile};
  std::vector<SetFileContent> files;
  for (int i = 0; i < 4; ++i) {
    SortByDigest(*saved[i]);
    files.push_back({names[i], saved[i]->digests.data(), saved[i]->digests.size()});
  }
  SaveSetFilesTogether(files);
}

// Until the language-model judging reads flat sets: a flat set as a list,
// records in the same order with their counts (1 where none are kept).
CShingleSet ListOf(const FlatSet& set) {
  CShingleSet listed;
  listed.total = set.total;
  for (size_t i = 0; i < set.digests.size(); ++i) {
    CShingle& shingle = listed.list.emplace_back();
    std::memcpy(shingle.hash, set.digests[i].bytes, kDigestSize);
    if (!set.counts.empty()) shingle.count = set.counts[i];
  }
  return listed;
}

void PrepareTrainedSets(const RunSettings& settings, TrainedSets& sets, ListedSets& listed) {
  if (!LanguageModelMode(settings)) {
    Unique(sets.protected_set);
    Unique(sets.unprotected_set);
    Common(sets.protected_set, sets.unprotected_set, sets.common_set);
    return;
  }
  if (lm_sub) {
    // Loaded pair sets may come in any order; the walk of Common needs digest
    // order, which trained and saved sets already have.
    SortByDigest(sets.protected_pairs);
    SortByDigest(sets.unprotected_pairs);
    Common(sets.protected_pairs, sets.unprotected_pairs, sets.common_set);
  }
  listed.protected_set = ListOf(sets.protected_set);
  listed.protected_pairs = ListOf(sets.protected_pairs);
  listed.unprotected_set = ListOf(sets.unprotected_set);
  listed.unprotected_pairs = ListOf(sets.unprotected_pairs);
  listed.common_set = ListOf(sets.common_set);
  listed.protected_set.ConvertToSet();
  listed.protected_pairs.ConvertToSet();
  listed.unprotected_set.ConvertToSet();
  listed.unprotected_pairs.ConvertToSet();
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

// Until judging reads flat sets: the digest index of a flat set.
DigestIndex IndexDigests(const FlatSet& trained) {
  DigestIndex index;
  index.digests.resize(trained.digests.size());
  if (!trained.digests.empty())
    std::memcpy(index.digests.data(), trained.digests.data(), trained.digests.size() * kDigestSize);
  index.sorted = std::is_sorted(trained.digests.begin(), trained.digests.end());
  return index;
}

void RunShingleMode(TrainedSets& sets, const RunSettings& settings) {
  ShingleIndexes indexes{IndexDigests(sets.protected_set), IndexDigests(sets.unprotected_set),
                         IndexDigests(sets.common_set)};
  for (const std::string& name : getFileList(settings.DataFiles))
    ScoreShingleFile(name, indexes, settings);
}

// The sets of one run, trained and as lists for the judging.
struct RunSets {
  TrainedSets trained;
  ListedSets listed;
};

// The sets of the latest run. They are deliberately not released when main
// returns: the process ends right after, and handing millions of list records
// back to the allocator one by one costs seconds on a large model. A further
// run in the same process releases the previous run's sets first.
RunSets* latest_run_sets = nullptr;

RunSets& FreshRunSets() {
  delete latest_run_sets;
  latest_run_sets = new RunSets;
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
  RunSets& sets = FreshRunSets();
  const std::string unread = ObtainTrainedSets(settings, sets.trained);
  if (settings.SaveProtected) {
    // Empty sets from a mistyped pattern must not replace a good model.
    if (unread.empty())
      SaveTrainedSets(sets.trained);
    else
      std::cerr << kNothingSaved << unread << "\"; model files not saved\n";
  }
  // Preparing sets changes nothing that is printed; a run without data files
  // (training and saving only) skips it.
  if (settings.DataFiles.empty()) return;
  PrepareTrainedSets(settings, sets.trained, sets.listed);
  if (LanguageModelMode(settings))
    RunLanguageModel(sets.listed, settings);
  else
    RunShingleMode(sets.trained, settings);
}

void WriteDetailedBlock(CShingleSet& document, ListedSets& sets) {
  WriteDetailed(document, sets.protected_set, sets.unprotected_set, sets.common_set);
}
