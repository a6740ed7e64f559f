#include "tool/shingle_run.h"

#include <ostream>
#include <string>
#include <vector>

#include "compat/builder.h"
#include "core/document.h"
#include "core/ordered_run.h"
#include "core/out_of_memory.h"
#include "scoring/document_judge.h"
#include "scoring/shingle_judge.h"
#include "tool/detailed.h"
#include "tool/document_input.h"
#include "tool/document_output.h"
#include "tool/exit_status.h"
#include "tool/file_list.h"
#include "tool/json_output.h"
#include "tool/messages.h"
#include "tool/text_output.h"

namespace {

struct ShingleDocument : DocumentOutput {
  bool verdict = false;
};

// The detailed block lists the shared shingles with their texts, so the
// document is built as records; otherwise only its distinct digests are
// needed, hashed straight from its words. A document that is not read gets
// no line; in JSON a document that could not be read gets an error instead
// of a verdict, and a binary one is skipped.
void ScoreShingleFile(const std::string& name, const Model& model, const Options& options,
                      const DocumentReading& reading, bool json, const RunSources& sources,
                      ShingleDocument& output) {
  const int32_t length = options.text.shingle_length;
  WordsAndPairs doc(options.text);
  DocumentRead read = DocumentRead::kFailed;
  const auto read_file = [&](TextWords& words) {
    read = ReadDataFile(name, reading, 1, words, output.err);
    return true;
  };
  // Without the detailed block only the distinct digests are kept, gathered
  // as the text is read; the block lists the shingles of the whole text.
  DocumentJudge judge(model, options.scoring, length);
  if (options.scoring.lm.detailed)
    doc.ReadWith(read_file);
  else
    judge.Judge(doc, read_file);
  output.failed = read == DocumentRead::kFailed;
  if (json && read == DocumentRead::kBinary) {
    output.out << JsonSkippedLine(name, 0, messages::kBinaryReason);
    return;
  }
  if (json && output.failed) {
    output.out << JsonErrorLine(name, 0, output.err.str());
    return;
  }
  if (read != DocumentRead::kRead) return;
  if (options.scoring.lm.detailed) {
    CShingleSet document;
    AppendDistinctShingles(doc.text(), document, length);
    Unique(document);
    output.out << PrintableName(name);
    WriteShingleDetails(document, model, output.out);
    return;
  }
  const ShingleResult& result = judge.shingle_result();
  output.verdict = result.verdict;
  std::vector<Source> found;
  if (sources.wanted() && result.verdict)
    found = ShingleSources(judge.shingles(), model.shingles, sources);
  if (json) {
    output.out << JsonShingleLine(name, result, options.scoring,
                                  sources.wanted() ? &found : nullptr);
    return;
  }
  WriteShingleText(name, result, options.scoring, found, output.out);
}

}  // namespace

void RunShingleMode(const Model& model, const Options& options, const FileSettings& files,
                    const JudgingSettings& judging, size_t jobs, const RunSources& sources) {
  const std::vector<std::string> names = FilesOf(files.DataFiles, files.DataList, files.ListedData);
  RunOrdered<ShingleDocument>(
      names.size(), jobs, jobs * kDocumentsAheadPerThread,
      [&](size_t i, ShingleDocument& output) {
        NamingOutOfMemory(names[i], [&] {
          ScoreShingleFile(names[i], model, options, judging.reading, judging.Json, sources,
                           output);
        });
      },
      [](size_t, ShingleDocument& output) {
        EmitToStandardStreams(output);
        if (output.verdict) NoteProtectedVerdict();
      });
}
