// Command-line options of the tool and the settings of one run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/text_options.h"
#include "scoring/options.h"
#include "scoring/robust_judge.h"

// Settings that belong to one run of the tool's main.
struct RunSettings {
  std::string ProtectedFiles;
  std::string UnprotectedFiles;
  std::string DataFiles;
  std::string StopwordFile;
  int32_t LmFormula = 0;  // 0 shingle mode; 1, 2, >2 Formula1, Formula2, Formula3
  int32_t MaxThreshold = 10;
  int32_t SizeThreshold = 100;
  bool FromFile = false;
  bool SaveProtected = false;
  bool Subtract = false;
  int32_t Jobs = 0;  // documents judged at once; 0: one per processor the run may use
  std::string SweepTolerance;  // the argument of -z
  bool Json = false;          // --format=json: one JSON object per document
  bool ExitStatus = false;    // --exit-status: 0 clean, 1 protected found, 2 error
  bool NoHeaders = false;     // --no-headers: header files neither read nor written
  int32_t Sources = 0;        // --sources=N: name up to N protected files per hit
  bool Robust = false;        // --robust: judge by chains of protected-only shingles
  double RobustThreshold = kRobustThreshold;  // --robust-threshold: the chain that flags
  std::string TitleFile = "title";  // where the evaluation column names go; empty: nowhere
  // Files naming documents and learning files, one name a line (NUL-separated
  // with NullSeparated), "-" for standard input; in addition to the patterns.
  std::string DataList;
  std::string ProtectedList;
  std::string UnprotectedList;
  bool NullSeparated = false;
  TextEncoding Encoding = TextEncoding::kAuto;  // of learning files, stop words and documents
  bool EncodingGiven = false;  // --encoding was given; otherwise a saved model's rule is used
  bool JudgeBinary = false;  // judge documents with a NUL in their first bytes as text
  std::string Preprocessor;  // a program that turns a document into text
  double PreTimeout = 60;    // seconds the program may run per document; 0: no limit
  // The names the list files hold, read once by the driver.
  std::vector<std::string> ListedData;
  std::vector<std::string> ListedProtected;
  std::vector<std::string> ListedUnprotected;
};

// Whether the run names data files to judge (a pattern or a list).
inline bool HasDataFiles(const RunSettings& settings) {
  return !settings.DataFiles.empty() || !settings.DataList.empty();
}

// The options of a run: the process-wide settings as the options left them,
// with the run's formula and shingle-mode thresholds. Read once, when the
// driver starts.
Options OptionsOf(const RunSettings& settings);

// Writes the usage text to standard output.
void Help();

// What a command line asks for. -h, -x, -z and --version end the parsing:
// the options after them are not read.
enum class Command {
  kRun,           // the driver runs with the settings
  kHelp,          // -h: the usage text
  kProtectedSum,  // -x: the protected-count report of standard input
  kSweeps,        // -z: the parameter sweeps, with SweepTolerance
  kVersion,       // --version
  kRefused,       // an option was refused: nothing runs
};

// Reads the options into the process-wide settings and the run settings;
// nothing runs here.
Command ParseOptions(int argc, char** argv, RunSettings& settings);
// Carries out a parsed command; returns the exit status.
int RunCommand(Command command, const RunSettings& settings);
