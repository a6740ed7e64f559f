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

// Builds the trained sets from the learning files.
void BuildTrainedSets(const RunSettings& settings, TrainedSets& sets) {
  const bool language_model = LanguageModelMode(settings);
  BuildTrainedSet(settings.ProtectedFiles, language_model, sets.protected_set,
                  sets.protected_pairs);
  BuildTrainedSet(settings.UnprotectedFiles, language_model, sets.unprotected_set,
                  sets.unprotected_pairs);
}

// The loaded sets as lists, only for saving them again with -v.
void ReadSetsForSaving(const RunSettings& settings, TrainedSets& sets) {
  const bool language_model = LanguageModelMode(settings);
  loadShinglesFromFile(settings.ProtectedFiles, sets.protected_set);
  if (language_model)
    loadShinglesFromFile(settings.ProtectedFiles + kPairSuffix, sets.protected_pairs);
  if (!settings.UnprotectedFiles.empty()) {
    loadShinglesFromFile(settings.UnprotectedFiles, sets.unprotected_set);
    if (language_model)
      loadShinglesFromFile(settings.UnprotectedFiles + kPairSuffix, sets.unprotected_pairs);
  }
}

// With -f the set files are mapped straight into the judging model; a file
// that cannot be loaded ends the run after its message, since judging against
// an empty model would print verdicts that mean nothing. Without -f the sets
// are trained. False when nothing is to be judged.
bool ObtainTrainedSets(const RunSettings& settings, TrainedSets& sets, JudgingModel& model) {
  if (!settings.FromFile) {
    BuildTrainedSets(settings, sets);
    return true;
  }
  if (!LoadJudgingModel(settings, LanguageModelMode(settings), model)) return false;
  if (settings.SaveProtected) ReadSetsForSaving(settings, sets);
  return true;
}

void SaveTrainedSets(TrainedSets& sets) {
  saveShinglesToFile(kProtectedSetFile, sets.protected_set);
  saveShinglesToFile(kProtectedPairFile, sets.protected_pairs);
  saveShinglesToFile(kUnprotectedSetFile, sets.unprotected_set);
  saveShinglesToFile(kUnprotectedPairFile, sets.unprotected_pairs);
}

void PrepareTrainedSets(const RunSettings& settings, TrainedSets& sets, JudgingModel& model) {
  const bool language_model = LanguageModelMode(settings);
  if (!settings.FromFile)
    PrepareTrained(sets, language_model, model);
  else if (language_model && lm_sub)
    SubtractLoadedPairs(model);
  if (!language_model) JoinSides(model);
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
  const CountIndex& sides = model.shingle_sides;
  auto held_by = [&sides](int32_t wanted) {
    return [&sides, wanted](const unsigned char* digest) { return sides.Count(digest) == wanted; };
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
  model.shingle_sides.CountMany(digests.data(), digests.size(), sides.data());
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

// The sets of the latest run. They are deliberately not released when main
// returns: the process ends right after, and handing millions of records back
// to the allocator one by one costs seconds on a large model. A further run in
// the same process releases the previous run's sets first.
struct RunSets {
  TrainedSets trained;
  JudgingModel model;
};
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
  RunSets& run = FreshRunSets();
  if (!ObtainTrainedSets(settings, run.trained, run.model)) return;
  if (settings.SaveProtected) SaveTrainedSets(run.trained);
  PrepareTrainedSets(settings, run.trained, run.model);
  if (settings.DataFiles.empty()) return;
  if (LanguageModelMode(settings))
    RunLanguageModel(run.model, settings);
  else
    RunShingleMode(run.model, settings);
}

void WriteDetailedBlock(CShingleSet& document, const JudgingModel& model) {
  const CountIndex& p = model.protected_set;
  const CountIndex& u = model.unprotected_set;
  const CountIndex& c = model.common_set;
  WriteDetailed(document, {[&](const unsigned char* d) { return p.Contains(d); },
                           [&](const unsigned char* d) { return u.Contains(d); },
                           [&](const unsigned char* d) { return c.Contains(d); }});
}
