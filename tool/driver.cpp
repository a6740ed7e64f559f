// The driver of one run of the tool: training or loading the trained sets,
// saving and preparing them, and the shingle-mode data loop. The language-model
// data loop lives in lm_run.cpp.
#include "tool/driver.h"

#include <cstdint>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "core/builder.h"
#include "core/document.h"
#include "core/set_file.h"
#include "core/settings.h"
#include "core/shingle.h"
#include "core/trainer.h"
#include "scoring/compare.h"
#include "tool/file_list.h"
#include "tool/lm_run.h"
#include "tool/prepare.h"
#include "tool/progress.h"
#include "tool/subtract.h"

namespace {

const char kPairSuffix[] = ".2";
const char kProtectedSetFile[] = "p.bin";
const char kProtectedPairFile[] = "p.bin.2";
const char kUnprotectedSetFile[] = "u.bin";
const char kUnprotectedPairFile[] = "u.bin.2";
const char kNothingSaved[] = "Error: no readable learning file for \"";
const char kNoShingleSaved[] = "Error: the learning files yield no shingle; model files not saved\n";

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

// Builds the trained sets from the learning files. Returns the first training
// pattern that yielded no readable learning file, or an empty string.
std::string BuildTrainedSets(const RunSettings& settings, TrainedSets& sets) {
  const bool language_model = LanguageModelMode(settings);
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

// The loaded sets as flat sets, only for saving them again with -v.
void ReadSetsForSaving(const RunSettings& settings, const JudgingModel& model,
                       TrainedSets& sets) {
  const bool language_model = LanguageModelMode(settings);
  sets.protected_set.digests.assign(model.protected_set.begin(), model.protected_set.end());
  if (language_model)
    sets.protected_pairs.digests.assign(model.protected_pairs.begin(), model.protected_pairs.end());
  if (!settings.UnprotectedFiles.empty()) {
    sets.unprotected_set.digests.assign(model.unprotected_set.begin(), model.unprotected_set.end());
    if (language_model)
      sets.unprotected_pairs.digests.assign(model.unprotected_pairs.begin(),
                                            model.unprotected_pairs.end());
  }
}

// With -f the set files are loaded straight into the judging model; a file
// that cannot be loaded ends the run after its message, since judging against
// an empty model would print verdicts that mean nothing. Without -f the sets
// are trained, and unread names a training pattern that yielded no readable
// learning file. False when nothing is to be saved or judged.
bool ObtainTrainedSets(const RunSettings& settings, TrainedSets& sets, JudgingModel& model,
                       std::string& unread) {
  if (!settings.FromFile) {
    unread = BuildTrainedSets(settings, sets);
    return true;
  }
  if (!LoadJudgingModel(settings, LanguageModelMode(settings), model)) return false;
  if (settings.SaveProtected) ReadSetsForSaving(settings, model, sets);
  return true;
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

bool TrainedNothing(const TrainedSets& sets) {
  return sets.protected_set.digests.empty() && sets.unprotected_set.digests.empty() &&
         sets.protected_pairs.digests.empty() && sets.unprotected_pairs.digests.empty();
}

void PrepareTrainedSets(const RunSettings& settings, TrainedSets& sets, JudgingModel& model) {
  if (settings.FromFile)
    PrepareLoaded(LanguageModelMode(settings), model);
  else
    PrepareTrained(sets, LanguageModelMode(settings), model);
}

// Which of a document's shingles each line of the detailed block counts.
struct DetailedMatches {
  std::function<bool(const unsigned char*)> protected_side;
  std::function<bool(const unsigned char*)> unprotected_side;
  std::function<bool(const unsigned char*)> common;
};

void WriteDetailed(CShingleSet& document, const DetailedMatches& matches) {
  std::cout << "\n"
            << "\nProtected:\n";
  int protected_count = SharedWhere(document, matches.protected_side);
  std::cout << "Total protected :" << protected_count << "\n";
  std::cout << "Unprotected:\n";
  int unprotected_count = SharedWhere(document, matches.unprotected_side);
  std::cout << "Total unprotected:" << unprotected_count << "\n";
  std::cout << "Common:\n";
  int common_count = SharedWhere(document, matches.common);
  std::cout << "Total common:" << common_count << "\n";
}

// Shingle mode: after Unique and Common the protected set holds the shingles
// of the protected side only, the unprotected set those of the other side
// only and the common set those of both.
DetailedMatches ShingleModeMatches(const JudgingModel& model) {
  const SidesIndex& sides = model.sets;
  auto held_by = [&sides](int32_t wanted) {
    return [&sides, wanted](const unsigned char* digest) { return sides.Sides(digest) == wanted; };
  };
  return {held_by(JudgingModel::kProtectedSide), held_by(JudgingModel::kUnprotectedSide),
          held_by(JudgingModel::kProtectedSide | JudgingModel::kUnprotectedSide)};
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

// The detailed block lists the shared shingles with their texts, so the
// document is built as records; otherwise only its distinct digests are
// needed, hashed straight from its words.
void ScoreShingleFile(const std::string& name, const JudgingModel& model,
                      const RunSettings& settings) {
  if (Detailed) {
    CShingleSet document;
    BuildShingles(name, document, CShingle::shingle_length);
    Unique(document);
    std::cout << name;
    WriteDetailed(document, ShingleModeMatches(model));
    return;
  }
  TextWords words;
  std::vector<Digest> digests;
  if (ReadDocument(name, 1, words)) digests = DistinctShingles(words, CShingle::shingle_length);
  std::vector<int32_t> sides(digests.size());
  model.sets.SidesMany(digests.data(), digests.size(), sides.data());
  int matches[4] = {0, 0, 0, 0};  // by the sides that hold a shingle
  for (int32_t held_by : sides) ++matches[held_by];
  const int protected_count = matches[JudgingModel::kProtectedSide];
  const int unprotected_count = matches[JudgingModel::kUnprotectedSide];
  const int common_count = matches[JudgingModel::kProtectedSide | JudgingModel::kUnprotectedSide];
  std::cout << name << "\t" << protected_count << "\t" << unprotected_count << "\t"
            << common_count << "\t";
  WriteVerdict(protected_count, static_cast<int64_t>(digests.size()), settings);
}

void RunShingleMode(const JudgingModel& model, const RunSettings& settings) {
  for (const std::string& name : getFileList(settings.DataFiles))
    ScoreShingleFile(name, model, settings);
}

// The sets of one run: as trained (and saved), and as judging reads them.
struct RunSets {
  TrainedSets trained;
  JudgingModel model;
};

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
  RunSets run;
  std::string unread;
  if (!ObtainTrainedSets(settings, run.trained, run.model, unread)) return;
  if (settings.SaveProtected) {
    // Empty sets from a mistyped pattern, or from files all shorter than
    // one shingle, must not replace a good model.
    if (!unread.empty())
      std::cerr << kNothingSaved << unread << "\"; model files not saved\n";
    else if (!settings.FromFile && TrainedNothing(run.trained))
      std::cerr << kNoShingleSaved;
    else
      SaveTrainedSets(run.trained);
  }
  // Preparing the sets changes nothing that is printed; a run without data
  // files (training and saving only) skips it.
  if (settings.DataFiles.empty()) return;
  PrepareTrainedSets(settings, run.trained, run.model);
  if (LanguageModelMode(settings))
    RunLanguageModel(run.model, settings);
  else
    RunShingleMode(run.model, settings);
}

void WriteDetailedBlock(CShingleSet& document, const JudgingModel& model) {
  const SidesIndex& words = model.sets;
  const CountIndex& common = model.common_set;
  WriteDetailed(document,
                {[&](const unsigned char* d) { return words.Holds(SidesIndex::kProtected, d); },
                 [&](const unsigned char* d) { return words.Holds(SidesIndex::kUnprotected, d); },
                 [&](const unsigned char* d) { return common.Contains(d); }});
}
