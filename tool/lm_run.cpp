#include "tool/lm_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>

#include "core/file_io.h"
#include "core/messages.h"
#include "core/settings.h"
#include "core/shingle.h"
#include "scoring/formula_core.h"
#include "scoring/indexed_judge.h"
#include "scoring/lm_common.h"
#include "tool/file_list.h"
#include "tool/header_file.h"

namespace {

constexpr char kTitleFile[] = "title";
constexpr char kTitleLine[] =
    "lm_threshold_1\tlm_threshold_2\tlm_length\tlm_lambda\tlm_lambda0\tlm_log\tlm_factor\t"
    "p_count\tu_count\tp_p_count\tp_u_count\tRecall\tPrecision\tF\n";
// Recall at which the run counts as catching the protected files.
constexpr double kRecallNeeded = 0.98;

struct Counters {
  int32_t p_count = 0;
  int32_t u_count = 0;
  int32_t p_p_count = 0;
  int32_t p_u_count = 0;
};

// The detailed block lists the document's shared words with their texts and
// their number of occurrences: the words as records, merged by Unique, so
// every shared word is counted and listed once.
void WriteDetails(WordsAndPairs& doc, const JudgingModel& model) {
  doc.HashAll();
  CShingleSet words;
  for (size_t k = 0; k < doc.words().size(); ++k) {
    CShingle& word = words.list.emplace_back();
    word.text = doc.WordText(k);
    std::memcpy(word.hash, doc.words()[k].bytes, kDigestSize);
  }
  Unique(words);
  WriteDetailedBlock(words, model);
}

void ScoreDataFile(const std::string& name, int32_t formula, const JudgingModel& model,
                   const IndexedModel& counts, Counters& counters) {
  WordsAndPairs doc;
  doc.ReadFile(name);
  if (doc.pair_count() == 0) return;
  std::cout << PrintableName(name) << "\t";
  bool verdict = JudgeDocument(formula, doc, counts);
  std::cout << std::boolalpha << verdict << "\n";
  ++(verdict ? counters.p_count : counters.u_count);
  UpdateHdrFile(ChangeFileExt(name, "hdr"), verdict ? 1.0 : 0.0);
  if (Detailed) WriteDetails(doc, model);
}

void EvaluateProtectedFiles(const std::string& pattern, int32_t formula, const IndexedModel& counts,
                            Counters& counters) {
  for (const std::string& name : getFileList(pattern)) {
    WordsAndPairs doc;
    doc.ReadFile(name);
    if (doc.word_count() == 0) {
      std::cerr << "Empty file: " << name << "\n";
      continue;
    }
    ++(JudgeDocument(formula, doc, counts) ? counters.p_p_count : counters.p_u_count);
  }
}

// Never through a symbolic link (reported), and never waiting for a reader
// of a FIFO; other failures go unreported, as they always have.
void WriteTitleFile() {
  const int fd =
      OpenWithoutWaiting(kTitleFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0 && errno == ELOOP) std::cerr << messages::kErrorOpeningFile << kTitleFile << "\n";
  if (fd < 0) return;
  WriteAll(fd, kTitleLine, sizeof kTitleLine - 1);
  close(fd);
}

void WriteEvaluation(const Counters& c) {
  int32_t judged_protected = c.p_p_count + c.p_u_count;
  int32_t judged_data = c.u_count + c.p_count;
  double recall = judged_protected == 0 ? 0.0 : static_cast<double>(c.p_p_count) / judged_protected;
  double precision = judged_data == 0 ? 0.0 : static_cast<double>(c.u_count) / judged_data;
  double f = recall >= kRecallNeeded ? precision : 0.0;
  std::cerr << lm_threshold_1 << "\t" << lm_threshold_2 << "\t" << lm_length << "\t" << lm_lambda
            << "\t" << lm_lambda0 << "\t" << lm_log << "\t" << lm_factor << "\t" << c.p_count
            << "\t" << c.u_count << "\t" << c.p_p_count << "\t" << c.p_u_count << "\t" << recall
            << "\t" << precision << "\t" << f << "\n";
  WriteTitleFile();
}

}  // namespace

void RunLanguageModel(const JudgingModel& model, const RunSettings& settings) {
  // Only 1, 2 and higher name a formula; the driver refuses other values.
  if (settings.LmFormula < 1 || settings.DataFiles.empty()) return;
  const IndexedModel counts{&model.sets, &model.pairs};
  Counters counters;
  for (const std::string& name : getFileList(settings.DataFiles))
    ScoreDataFile(name, settings.LmFormula, model, counts, counters);
  // With -f the protected pattern names a shingle set file, not texts: read
  // as a document its digest bytes would give a meaningless recall, so there
  // is nothing to evaluate and the counts stay 0.
  if (!settings.FromFile)
    EvaluateProtectedFiles(settings.ProtectedFiles, settings.LmFormula, counts, counters);
  WriteEvaluation(counters);
}
