#include "tool/lm_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <iostream>
#include <string>

#include "core/builder.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/settings.h"
#include "scoring/formulas.h"
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

struct Document {
  CShingleSet words;
  CShingleSet pairs;

  explicit Document(const std::string& name) {
    _BuildShingles(name, words, 1);
    _BuildShingles(name, pairs, 2);
  }
};

bool Verdict(int32_t formula, Document& doc, ListedSets& sets) {
  if (formula == 1)
    return Formula1(doc.words, doc.pairs, sets.protected_set, sets.unprotected_set,
                    sets.protected_pairs, sets.unprotected_pairs);
  if (formula == 2)
    return Formula2(doc.words, doc.pairs, sets.protected_set, sets.unprotected_set,
                    sets.protected_pairs, sets.unprotected_pairs);
  return Formula3(doc.words, sets.protected_set, sets.unprotected_set);
}

// The detailed block's merge walks need digest-ordered lists on both sides.
// The document's words (no longer needed once judged) are merged as well, so
// every shared word is counted and listed once, with its number of
// occurrences in the document.
void WriteDetails(Document& doc, ListedSets& sets) {
  Unique(doc.words);
  WriteDetailedBlock(doc.words, sets);
}

void ScoreDataFile(const std::string& name, int32_t formula, ListedSets& sets,
                   Counters& counters) {
  Document doc(name);
  if (doc.pairs.list.empty()) return;
  std::cout << name << "\t";
  bool verdict = Verdict(formula, doc, sets);
  std::cout << std::boolalpha << verdict << "\n";
  ++(verdict ? counters.p_count : counters.u_count);
  UpdateHdrFile(ChangeFileExt(name, "hdr"), verdict ? 1.0 : 0.0);
  if (Detailed) WriteDetails(doc, sets);
}

void EvaluateProtectedFiles(const std::string& pattern, int32_t formula, ListedSets& sets,
                            Counters& counters) {
  for (const std::string& name : getFileList(pattern)) {
    Document doc(name);
    if (doc.words.list.empty()) {
      std::cerr << "Empty file: " << name << "\n";
      continue;
    }
    ++(Verdict(formula, doc, sets) ? counters.p_p_count : counters.p_u_count);
  }
}

// Never through a symbolic link (reported), and never waiting for a reader
// of a FIFO; other failures go unreported, as they always have.
void WriteTitleFile() {
  int fd = open(kTitleFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0 && errno == ELOOP) std::cerr << messages::kErrorOpeningFile << kTitleFile << "\n";
  if (fd < 0) return;
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
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

void RunLanguageModel(ListedSets& sets, const RunSettings& settings) {
  // Only 1, 2 and higher name a formula; the driver refuses other values.
  if (settings.LmFormula < 1 || settings.DataFiles.empty()) return;
  if (Detailed) {
    // The formulas read only the looked-up sets and the list sizes, so the
    // lists may be reordered for the detailed block's merge walks.
    SortByDigest(sets.protected_set.list);
    SortByDigest(sets.unprotected_set.list);
    SortByDigest(sets.common_set.list);
  }
  Counters counters;
  for (const std::string& name : getFileList(settings.DataFiles))
    ScoreDataFile(name, settings.LmFormula, sets, counters);
  // With -f the protected pattern names a shingle set file, not texts: read
  // as a document its digest bytes would give a meaningless recall, so there
  // is nothing to evaluate and the counts stay 0.
  if (!settings.FromFile)
    EvaluateProtectedFiles(settings.ProtectedFiles, settings.LmFormula, sets, counters);
  WriteEvaluation(counters);
}
