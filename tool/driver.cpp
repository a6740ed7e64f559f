// The driver of one run of the tool: training or loading the trained sets,
// saving and preparing them, and the shingle-mode data loop. The language-model
// data loop lives in lm_run.cpp.
#include "tool/driver.h"

#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/chain_units.h"
#include "core/chain_units_threads.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/ordered_run.h"
#include "core/model_description.h"
#include "core/provenance.h"
#include "core/set_file.h"
#include "core/stop_words.h"
#include "core/trainer.h"
#include "tool/document_output.h"
#include "tool/exit_status.h"
#include "tool/file_list.h"
#include "tool/lm_run.h"
#include "tool/messages.h"
#include "tool/prepare.h"
#include "tool/progress.h"
#include "tool/robust_run.h"
#include "tool/shingle_run.h"
#include "tool/sources.h"
#include "tool/subtract.h"

namespace {


bool LanguageModelMode(const RunSettings& settings) {
  return settings.options.scoring.formula != 0;
}

// The sets of one run, in slot order: as trained (or read back from the
// loaded files for saving), as mapped with -f, and as judging reads them.
struct RunSets {
  FlatSet trained[kModelSlots];
  CountIndex loaded[kModelSlots];
  Model model;
  std::vector<std::string> protected_names;  // in training order: what FlatSet::files index
  RunSources sources;
  RobustSources robust;  // --robust: the protected file of each protected unit
  FlatSet shorter[2];    // --robust training: the shorter units of each side
  FlatSet chain_units;   // ... and those only the protected side holds
};

// The words of the robust scan's shorter units: one fewer than a shingle's
// (none for shingles of one word).
int32_t ShorterWords(const TextOptions& text) {
  return text.shingle_length > 1 ? text.shingle_length - 1 : 0;
}

// The trained protected set knows where its records came from when a save
// writes that down or this run names sources.
bool KeepsFiles(const RunSettings& settings) {
  return settings.model.SaveProtected || settings.judging.Sources > 0 || settings.robust.Robust;
}

// Builds the learning files of each side into its trained sets (and, for
// the language model, single words and word pairs), the protected side
// first. With robust the shorter units are built as well, in the same pass
// over the files. Returns the first training pattern (or list, without a
// pattern) that yielded no readable learning file, or an empty string.
std::string BuildTrainedSets(const RunSettings& settings, FlatSet (&sets)[kModelSlots],
                             std::vector<std::string>& protected_names, FlatSet (&shorter)[2]) {
  const FileSettings& files = settings.files;
  const TextOptions& text = settings.options.text;
  const bool language_model = LanguageModelMode(settings);
  const bool robust = settings.robust.Robust && ShorterWords(text) > 0;
  std::vector<int> lengths{text.shingle_length};
  if (language_model) lengths = {1, 2};
  if (robust) lengths.push_back(ShorterWords(text));
  // The unprotected side's shorter units matter only where the protected
  // side holds them too: what it cannot hold is dropped as they are read.
  std::unique_ptr<UnitSieve> wanted;
  std::string unread;
  // The sides are trained in turn, so that a side's buckets are sorted into
  // its sets and released before the next side's files are read.
  for (const bool is_protected : {true, false}) {
    const std::string& pattern = is_protected ? files.ProtectedFiles : files.UnprotectedFiles;
    const std::string& list = is_protected ? files.ProtectedList : files.UnprotectedList;
    if (pattern.empty() && list.empty()) continue;
    const std::vector<std::string> names =
        FilesOf(pattern, list, is_protected ? files.ListedProtected : files.ListedUnprotected);
    Trainer trainer(lengths, language_model, text, std::cerr, JobsOf(settings.Jobs));
    if (is_protected && KeepsFiles(settings)) {
      trainer.KeepFiles(language_model ? 2 : text.shingle_length);
      if (robust) trainer.KeepFiles(ShorterWords(text));
    }
    if (robust) {
      trainer.IdentifyWith(ShorterWords(text), UnitIdentities);
      trainer.KeepIds(ShorterWords(text));
    }
    if (wanted != nullptr)
      trainer.KeepOnly(ShorterWords(text),
                       [&wanted](const Digest& unit) { return wanted->MayHold(UnitIdOf(unit)); });
    TrainingProgress progress(names.size());
    const size_t read =
        trainer.AddFiles(names, [&progress](const std::string& name) { progress.FileDone(name); });
    if (read < names.size()) NoteRunError();  // each unreadable file is reported
    std::vector<FlatSet> built = trainer.Finish();
    sets[is_protected ? kProtectedWords : kUnprotectedWords] = std::move(built[0]);
    if (language_model) sets[is_protected ? kProtectedPairs : kUnprotectedPairs] = std::move(built[1]);
    if (robust) shorter[is_protected ? 0 : 1] = std::move(built.back());
    if (robust && is_protected) wanted = std::make_unique<UnitSieve>(shorter[0].ids);
    if (is_protected) protected_names = names;
    if (read == 0 && unread.empty()) unread = pattern.empty() ? list : pattern;
  }
  return unread;
}

// The names of the list files, each read once (standard input can be read
// only once).
FileSettings WithListedNames(FileSettings files) {
  const std::pair<const std::string*, std::vector<std::string>*> lists[] = {
      {&files.ProtectedList, &files.ListedProtected},
      {&files.UnprotectedList, &files.ListedUnprotected},
      {&files.DataList, &files.ListedData}};
  for (const auto& [list, names] : lists)
    if (!list->empty()) ReadNameList(*list, files.NullSeparated, *names);
  return files;
}

// The stop words read as the texts are (encoding, -c).
void LoadRunStopWords(const std::string& file_name, const TextOptions& text,
                      StopWordSet& stop_words) {
  if (ReadStopWords(file_name, stop_words, text)) return;
  std::cerr << messages::kErrorOpeningFile << file_name << "\n";
  NoteRunError();
}

// The loaded sets as flat sets, only for saving them again with -v (files
// not loaded are empty).
void ReadSetsForSaving(const CountIndex (&loaded)[kModelSlots], FlatSet (&sets)[kModelSlots]) {
  for (int slot = 0; slot < kModelSlots; ++slot)
    sets[slot].digests.assign(loaded[slot].begin(), loaded[slot].end());
}

// With -f naming set files of saved model directories (a p.bin or a u.bin,
// as a save names them), each such directory's description must agree with
// the run's settings and with every set file loaded under a save's name,
// wherever it was read from: a u.bin of another training, or of a model of
// the other mode, beside a p.bin makes a mixed model. A file of another name
// is the caller's own choice and is not checked; a model without a
// description is read as it is.
bool DescriptionAgrees(const RunSettings& settings, const CountIndex (&loaded)[kModelSlots]) {
  const bool language_model = LanguageModelMode(settings);
  const std::vector<std::pair<std::string, int>> wanted =
      SetFilesOf(settings.files, language_model);
  std::vector<std::string> directories;
  for (const auto& [path, slot] : wanted)
    if ((slot == kProtectedWords || slot == kUnprotectedWords) &&
        BaseOf(path) == kModelFileNames[slot] &&
        std::find(directories.begin(), directories.end(), DirectoryOf(path)) == directories.end())
      directories.push_back(DirectoryOf(path));
  for (const std::string& directory : directories) {
    const CountIndex* files[kModelSlots] = {};
    std::string names[kModelSlots];
    for (const auto& [path, slot] : wanted) {
      if (BaseOf(path) != kModelFileNames[slot]) continue;
      files[slot] = &loaded[slot];
      if (DirectoryOf(path) != directory) names[slot] = path;
    }
    const Status checked =
        CheckModelDescription(directory, files, language_model, &settings.options.text, names);
    if (checked.ok()) continue;
    ReportError(checked, std::cerr);
    return false;
  }
  return true;
}

// With -f the set files are loaded straight into the judging model; a file
// that cannot be loaded ends the run after its message, since judging against
// an empty model would print verdicts that mean nothing. Without -f the sets
// are trained, and unread names a training pattern that yielded no readable
// learning file. False when nothing is to be saved or judged.
bool ObtainTrainedSets(const RunSettings& settings, RunSets& run, std::string& unread) {
  if (!settings.model.FromFile) {
    unread = BuildTrainedSets(settings, run.trained, run.protected_names, run.shorter);
    run.chain_units =
        ProtectedOnlyOnThreads(std::move(run.shorter[0]), run.shorter[1], JobsOf(settings.Jobs));
    run.shorter[0] = FlatSet();
    run.shorter[1] = FlatSet();
#ifdef __GLIBC__
    // The shorter sets were freed to the allocator's heap, which keeps the
    // pages; hand them back before the save formats the chains file.
    if (settings.robust.Robust) malloc_trim(0);
#endif
    return true;
  }
  if (!LoadSetFiles(settings.files, LanguageModelMode(settings), JobsOf(settings.Jobs),
                    run.loaded)) {
    NoteRunError();
    return false;
  }
  if (settings.robust.Robust && !IsRobustModel(settings.files.ProtectedFiles)) return false;
  if (!DescriptionAgrees(settings, run.loaded)) return false;
  if (settings.model.SaveProtected) ReadSetsForSaving(run.loaded, run.trained);
  return true;
}

// The four set files, the sources of a training and the model's
// description, all or none. Loaded sets may come in any order; trained ones
// already are in digest order.
void SaveTrainedSets(FlatSet (&sets)[kModelSlots], bool language_model, const TextOptions& text,
                     const std::vector<std::string>& protected_names, size_t threads,
                     bool robust, const FlatSet& chain_units) {
  ModelDescription description = DescribeTraining(language_model, text);
  description.robust = robust;
  const FlatSet& traced = sets[SourcesSlot(language_model)];
  description.has_sources =
      !traced.files.empty() || (traced.digests.empty() && !protected_names.empty());
  description.has_chains = robust && ShorterWords(text) > 0;
  std::string sources;
  std::unique_ptr<ChainsFileBytes> chains;
  // The side files are formatted while the set files are checked, each
  // piece on its own thread: the chains first, then each slot (and the
  // sources once their slot is in order).
  RunAll(kModelSlots + 1, threads, [&](size_t task) {
    if (task == 0) {
      if (!description.has_chains) return;
      // Written from the units' own memory, not from a copy.
      chains = std::make_unique<ChainsFileBytes>(ShorterWords(text), chain_units);
      description.chains_bytes = chains->bytes;
      description.chains_checksum = chains->checksum;
      return;
    }
    const int slot = static_cast<int>(task - 1);
    SortByDigest(sets[slot]);
    const std::vector<Digest>& digests = sets[slot].digests;
    description.records[slot] = digests.size();
    description.checksums[slot] = ChecksumOfRecords(digests.data(), digests.size());
    if (slot != SourcesSlot(language_model) || !description.has_sources) return;
    sources = FormatSources(slot, traced.digests.data(), traced.digests.size(), traced.files.data(),
                            protected_names);
    description.sources_bytes = sources.size();
    description.sources_checksum = FileChecksum(sources);
  });
  std::vector<SetFileContent> files;
  for (int slot = 0; slot < kModelSlots; ++slot) {
    const std::vector<Digest>& digests = sets[slot].digests;
    files.push_back({kModelFileNames[slot], digests.data(), digests.size() * sizeof(Digest)});
  }
  if (description.has_sources) files.push_back({kSourcesFile, sources.data(), sources.size()});
  if (description.has_chains)
    files.push_back({kChainsFile, nullptr, chains->bytes, chains->pieces});
  const std::string described = FormatModelDescription(description);
  files.push_back({kModelDescriptionFile, described.data(), described.size()});
  // Each failure is written as it happens, file by file.
  const bool saved = SaveSetFilesTogether(files, std::cerr, threads).ok();
  if (!saved) {
    NoteRunError();
  } else if (!description.has_sources) {
    // A sources file left by an earlier save describes records this model
    // may not have; the new model has none, nor temporary files of one.
    unlink(kSourcesFile);
    RemoveAbandonedTemporaries(kSourcesFile);
  }
  // The same for a chains file, which only a --robust save leaves.
  if (saved && !description.has_chains && access(kChainsFile, F_OK) == 0) {
    unlink(kChainsFile);
    RemoveAbandonedTemporaries(kChainsFile);
  }
}

// What the run refuses before anything is read: a negative formula,
// and detailed listings that JSON Lines have no place for.
bool RunIsRefused(const RunSettings& settings) {
  const ScoringOptions& scoring = settings.options.scoring;
  if (scoring.formula < 0) {
    std::cerr << messages::kNegativeFormula << scoring.formula << "\n";
  } else if (settings.judging.Json && scoring.lm.detailed) {
    std::cerr << messages::kJsonWithDetails;
  } else {
    return false;
  }
  NoteRunError();
  return true;
}

// Nothing to save: every set is empty.
bool TrainedNothing(const FlatSet (&sets)[kModelSlots]) {
  for (const FlatSet& set : sets)
    if (!set.digests.empty()) return false;
  return true;
}

// What --sources reads, taken before the sets are released for judging.
void PrepareRunSources(const RunSettings& settings, RunSets& run) {
  if (settings.judging.Sources <= 0) return;
  const int slot = SourcesSlot(LanguageModelMode(settings));
  const size_t most = static_cast<size_t>(settings.judging.Sources);
  if (settings.model.FromFile)
    run.sources = SourcesOfModel(settings.files.ProtectedFiles, run.loaded[slot], slot, most);
  else
    run.sources = SourcesOfTraining(run.trained[slot], run.protected_names, most);
}

// Joins the trained or loaded sets for judging, releasing them.
bool PrepareRunModel(const RunSettings& settings, RunSets& run) {
  PrepareRunSources(settings, run);
  if (settings.robust.Robust) {
    if (!settings.model.FromFile) {
      run.robust.shingles = SourceFinder(run.trained[kProtectedWords].digests,
                                         run.trained[kProtectedWords].files, run.protected_names);
      run.robust.shorter_words = ShorterWords(settings.options.text);
      run.robust.shorter = SourceFinder(UnitDigests(run.chain_units),
                                        std::move(run.chain_units.files), run.protected_names);
    } else if (!RobustFilesOfModel(settings.files.ProtectedFiles, run.loaded[kProtectedWords],
                                   run.robust)) {
      return false;
    }
  }
  const bool language_model = LanguageModelMode(settings);
  const bool exclusive = settings.options.scoring.exclusive_pairs;
  const size_t threads = JobsOf(settings.Jobs);
  if (settings.model.FromFile)
    run.model = PrepareModel(run.loaded, language_model, exclusive, threads);
  else
    run.model = PrepareModel(run.trained, language_model, exclusive, threads);
  return true;
}

// Judging a saved model without --encoding reads documents by the rule the
// model was trained with, as every other interface does.
TextEncoding EncodingOfRun(const RunSettings& settings) {
  const TextEncoding given = settings.options.text.encoding;
  const std::string& protected_files = settings.files.ProtectedFiles;
  if (settings.model.FromFile && !settings.model.EncodingGiven &&
      BaseOf(protected_files) == kModelFileNames[kProtectedWords])
    return ModelEncoding(DirectoryOf(protected_files), given);
  return given;
}

}  // namespace

void RunDriver(const RunSettings& given) {
  if (given.Subtract) {
    ShingleSubtract(given.files.ProtectedFiles, given.files.UnprotectedFiles);
    return;
  }
  if (RunIsRefused(given) || (given.robust.Robust && RobustRunIsRefused(given))) return;
  RunSettings settings = given;
  settings.files = WithListedNames(given.files);
  settings.options.text.encoding = EncodingOfRun(settings);
  // The run's stop words, read as its texts are read; the options point to
  // them for the rest of the run.
  StopWordSet stop_words;
  if (!settings.model.StopwordFile.empty())
    LoadRunStopWords(settings.model.StopwordFile, settings.options.text, stop_words);
  settings.options.text.stop_words = &stop_words;
  const Options& options = settings.options;
  const FileSettings& files = settings.files;
  const bool from_file = settings.model.FromFile;
  RunSets run;
  std::string unread;
  if (!ObtainTrainedSets(settings, run, unread)) return;
  if (settings.model.SaveProtected) {
    // Empty sets from a mistyped pattern, or from files all shorter than
    // one shingle, must not replace a good model.
    if (!unread.empty()) {
      std::cerr << messages::kNothingSaved << unread << messages::kNothingSavedEnd;
      NoteRunError();
    } else if (!from_file && TrainedNothing(run.trained)) {
      std::cerr << messages::kNoShingleSaved;
      NoteRunError();
    } else {
      SaveTrainedSets(run.trained, LanguageModelMode(settings), options.text, run.protected_names,
                      JobsOf(settings.Jobs), settings.robust.Robust && !from_file,
                      run.chain_units);
    }
  }
  // Preparing the sets changes nothing that is printed; a run without data
  // files (training and saving only) skips it.
  if (!HasDataFiles(files)) return;
  if (!PrepareRunModel(settings, run)) return;
  const size_t jobs = JobsOf(settings.Jobs);
  if (settings.robust.Robust)
    RunRobust(run.model, options, files, settings.judging, settings.robust, jobs, run.robust);
  else if (LanguageModelMode(settings))
    RunLanguageModel(run.model, options, files, settings.judging, !from_file, jobs, run.sources);
  else
    RunShingleMode(run.model, options, files, settings.judging, jobs, run.sources);
}
