#include "tool/lm_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "compat/formula_lines.h"
#include "compat/lm_common.h"
#include "core/file_io.h"
#include "core/messages.h"
#include "core/ordered_run.h"
#include "core/out_of_memory.h"
#include "core/document.h"
#include "scoring/document_judge.h"
#include "scoring/formula_core.h"
#include "scoring/indexed_judge.h"
#include "tool/detailed.h"
#include "tool/document_input.h"
#include "tool/document_output.h"
#include "tool/exit_status.h"
#include "tool/file_list.h"
#include "tool/header_file.h"
#include "tool/json_output.h"
#include "tool/messages.h"
#include "tool/text_output.h"

namespace {

constexpr char kTitleLine[] =
    "lm_threshold_1\tlm_threshold_2\tlm_length\tlm_lambda\tlm_lambda0\tlm_log\tlm_factor\t"
    "p_count\tu_count\tp_p_count\tp_u_count\tRecall\tPrecision\tF\n";
// Recall at which the run counts as catching the protected files.
constexpr double kRecallNeeded = 0.98;
constexpr char kTooFewWords[] = "fewer than two words";

// What the data loop and the evaluation pass need of the run settings.
struct LoopSettings {
  bool json = false;
  bool headers = true;
};

// One document judged apart from the others: its output, and whether it
// was judged (a data file without a word pair is not) and how.
struct JudgedDocument : DocumentOutput {
  bool judged = false;
  bool verdict = false;
  std::ostringstream details;  // the detailed block, written after the header update
  // A header updated on the judging thread: its messages, written in order.
  bool header_recorded = false;
  std::ostringstream header_warnings, header_errors;
};

// The detailed block lists the document's shared words with their texts and
// their number of occurrences: the words as records, merged by Unique, so
// every shared word is counted and listed once.
void WriteDetails(WordsAndPairs& doc, const Model& model, std::ostream& out) {
  doc.HashAll();
  CShingleSet words;
  for (size_t k = 0; k < doc.words().size(); ++k) {
    CShingle& word = words.list.emplace_back();
    word.text = doc.text().DisplayText(doc.WordText(k));
    std::memcpy(word.hash, doc.words()[k].bytes, kDigestSize);
  }
  Unique(words);
  WriteWordDetails(words, model, out);
}

// The formula's result, whose messages go to standard error.
const lm::Result& Judged(const DocumentJudge& judge, JudgedDocument& output) {
  const lm::Result& result = judge.lm_result();
  lm::WriteFormulaMessages(result, output.err);
  return result;
}

// In JSON every listed document gets a line: an error when it could not be
// read, a note when it is binary or has no word pair to judge.
void JudgeDataFileAsJson(const std::string& name, const Options& options,
                         const RunSources& sources, WordsAndPairs& doc,
                         const DocumentJudge& judge, bool binary, JudgedDocument& output) {
  const int32_t formula = options.scoring.formula;
  if (binary) {
    output.out << JsonSkippedLine(name, formula, messages::kBinaryReason);
  } else if (output.failed) {
    output.out << JsonErrorLine(name, formula, output.err.str());
  } else if (doc.pair_count() == 0) {
    output.out << JsonSkippedLine(name, formula, kTooFewWords);
  } else {
    const lm::Result& result = Judged(judge, output);
    std::vector<Source> found;
    if (sources.wanted() && result.verdict) found = PairSources(doc, result, sources);
    output.out << JsonLanguageModelLine(name, formula, result, judge.phrase(),
                                        sources.wanted() ? &found : nullptr);
    output.verdict = result.verdict;
    output.judged = true;
  }
}

void JudgeDataFile(const std::string& name, const Model& model, const Options& options,
                   const DocumentReading& reading, const RunSources& sources, bool json,
                   JudgedDocument& output) {
  WordsAndPairs doc(options.text);
  // The detailed block and the sources of a hit look at every pair of the
  // document, so then the whole of it is kept. JSON ranks documents by the
  // best window's margin, so there every window is scored.
  ScoringOptions scoring = options.scoring;
  scoring.lm.best_score = json;
  DocumentJudge judge(model, scoring, options.text.shingle_length,
                      options.scoring.lm.detailed || sources.wanted());
  DocumentRead how = DocumentRead::kFailed;
  const bool read = judge.Judge(doc, [&](TextWords& words) {
    how = ReadDataFile(name, reading, 2, words, output.err);
    return how == DocumentRead::kRead;
  });
  output.failed = how == DocumentRead::kFailed;
  if (json) {
    JudgeDataFileAsJson(name, options, sources, doc, judge, how == DocumentRead::kBinary, output);
    return;
  }
  if (!read) return;
  if (doc.pair_count() == 0) return;
  const lm::Result& result = Judged(judge, output);
  std::vector<Source> found;
  if (sources.wanted() && result.verdict) found = PairSources(doc, result, sources);
  WriteLanguageModelText(name, options.scoring.formula, result, found, output.out);
  output.verdict = result.verdict;
  output.judged = true;
  if (options.scoring.lm.detailed) WriteDetails(doc, model, output.details);
}

// Written in the order of the data files: the verdict lines, then each
// header file's update, so that documents sharing a header file update it
// in that order. In JSON the header's warning goes to standard error.
void CommitDataFile(const std::string& name, JudgedDocument& output, const LoopSettings& loop,
                    Evaluation& counters) {
  EmitToStandardStreams(output);
  if (!output.judged) return;
  std::cout << std::boolalpha;  // as after writing the verdict straight to standard output
  ++(output.verdict ? counters.p_count : counters.u_count);
  if (output.verdict) NoteProtectedVerdict();
  std::ostream& warnings = loop.json ? std::cerr : std::cout;
  if (output.header_recorded) {
    Emit(output.header_warnings, warnings);
    Emit(output.header_errors, std::cerr);
  } else if (loop.headers) {
    RecordHeaderVerdict(name, ChangeFileExt(name, "hdr"), output.verdict ? 1.0 : 0.0, warnings);
  }
  Emit(output.details, std::cout);
}

// A header no other document of the run shares is updated on the judging
// thread, its messages kept for the committer: creating header files is
// most of such a run's work.
void RecordPrivateHeader(const std::string& name, JudgedDocument& output) {
  if (!output.judged) return;
  RecordHeaderVerdict(name, ChangeFileExt(name, "hdr"), output.verdict ? 1.0 : 0.0,
                      output.header_warnings, output.header_errors);
  output.header_recorded = true;
}

// How the data files' headers are updated on several threads: which may be
// updated on the judging thread, and which documents, being headers of
// earlier documents, are read only once those headers are updated. (The
// evaluation pass reads its files after every header is written, whichever
// thread wrote it.)
struct HeaderOrder {
  std::vector<bool> on_threads;
  std::vector<size_t> read_after;
};

HeaderOrder OrderOfHeaders(const std::vector<std::string>& names, const LoopSettings& loop,
                           size_t jobs) {
  if (!loop.headers || jobs < 2) return {std::vector<bool>(names.size(), false), {}};
  const HeaderKeys keys = KeysOfHeaders(names);
  return {PrivateHeaders(keys), ReadAfterHeaders(keys)};
}

void JudgeProtectedFile(const std::string& name, const Model& model, const Options& options,
                        bool json, JudgedDocument& output) {
  WordsAndPairs doc(options.text);
  DocumentJudge judge(model, options.scoring, options.text.shingle_length);
  judge.Judge(doc, [&](TextWords& words) {
    return ReportDocumentReading(ReadDocument(name, words), 2, output.err);
  });
  if (doc.word_count() == 0) {
    output.err << messages::kEmptyFile << name << "\n";
    return;
  }
  // In text the formula's own lines ("values:", the phrase) are written
  // too; JSON has no place for them.
  const lm::Result& result = Judged(judge, output);
  if (!json) lm::WriteFormulaLines(options.scoring.formula, result, output.out);
  output.verdict = result.verdict;
  output.judged = true;
}

// Judges every file with `judge`, committing them in order; file i is read
// once the first after[i] files are committed (none when after is empty).
template <typename JudgeFile, typename CommitFile>
void JudgeFiles(const std::vector<std::string>& names, size_t jobs, JudgeFile judge,
                CommitFile commit, const std::vector<size_t>& after = {}) {
  RunOrdered<JudgedDocument>(
      names.size(), jobs, jobs * kDocumentsAheadPerThread,
      [&](size_t i, JudgedDocument& output) {
        NamingOutOfMemory(names[i], [&] { judge(i, names[i], output); });
      },
      [&](size_t i, JudgedDocument& output) { commit(names[i], output); },
      [&](size_t i) { return after.empty() ? 0 : after[i]; });
}

// Never through a symbolic link (reported), and never waiting for a reader
// of a FIFO; other failures go unreported, as they always have.
void WriteTitleFile(const std::string& path) {
  const int fd = OpenWithoutWaiting(path.c_str(),
                                    O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0 && errno == ELOOP) {
    std::cerr << messages::kErrorOpeningFile << path << "\n";
    NoteRunError();
  }
  if (fd < 0) return;
  WriteAll(fd, kTitleLine, sizeof kTitleLine - 1);
  close(fd);
}

// The evaluation line on standard error, or in JSON its object, the last
// line of standard output; then the column names in the title file.
void WriteEvaluation(Evaluation& c, const lm::Settings& lm, const JudgingSettings& judging) {
  int32_t judged_protected = c.p_p_count + c.p_u_count;
  int32_t judged_data = c.u_count + c.p_count;
  c.recall = judged_protected == 0 ? 0.0 : static_cast<double>(c.p_p_count) / judged_protected;
  c.precision = judged_data == 0 ? 0.0 : static_cast<double>(c.u_count) / judged_data;
  c.f = c.recall >= kRecallNeeded ? c.precision : 0.0;
  if (judging.Json) {
    std::cout << JsonEvaluationLine(lm, c);
  } else {
    std::cerr << lm.threshold_1 << "\t" << lm.threshold_2 << "\t" << lm.length << "\t"
              << lm.lambda << "\t" << lm.lambda0 << "\t" << lm.log << "\t" << lm.factor << "\t"
              << c.p_count << "\t" << c.u_count << "\t" << c.p_p_count << "\t" << c.p_u_count
              << "\t" << c.recall << "\t" << c.precision << "\t" << c.f << "\n";
  }
  if (!judging.TitleFile.empty()) WriteTitleFile(judging.TitleFile);
}

}  // namespace

void RunLanguageModel(const Model& model, const Options& options, const FileSettings& files,
                      const JudgingSettings& judging, bool evaluate, size_t jobs,
                      const RunSources& sources) {
  // Only 1, 2 and higher name a formula; the driver refuses other values.
  if (options.scoring.formula < 1 || !HasDataFiles(files)) return;
  const LoopSettings loop{judging.Json, !judging.NoHeaders};
  const DocumentReading& reading = judging.reading;
  Evaluation counters;
  const std::vector<std::string> names = FilesOf(files.DataFiles, files.DataList, files.ListedData);
  const HeaderOrder headers = OrderOfHeaders(names, loop, jobs);
  JudgeFiles(
      names, jobs,
      [&](size_t i, const std::string& name, JudgedDocument& output) {
        JudgeDataFile(name, model, options, reading, sources, loop.json, output);
        if (headers.on_threads[i]) RecordPrivateHeader(name, output);
      },
      [&](const std::string& name, JudgedDocument& output) {
        CommitDataFile(name, output, loop, counters);
      },
      headers.read_after);
  // With -f the protected pattern names a shingle set file, not texts: read
  // as a document its digest bytes would give a meaningless recall, so there
  // is nothing to evaluate and the counts stay 0.
  if (evaluate) {
    JudgeFiles(
        FilesOf(files.ProtectedFiles, files.ProtectedList, files.ListedProtected), jobs,
        [&](size_t, const std::string& name, JudgedDocument& output) {
          JudgeProtectedFile(name, model, options, loop.json, output);
        },
        [&](const std::string&, JudgedDocument& output) {
          EmitToStandardStreams(output);
          if (output.judged) ++(output.verdict ? counters.p_p_count : counters.p_u_count);
        });
  }
  WriteEvaluation(counters, options.scoring.lm, judging);
}
